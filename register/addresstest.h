#pragma once
// The address filter of the working list. A text that begins with "/" is a regular
// expression (Perl-like, PCRE) matched without regard to case anywhere in the address;
// any other text is looked for in the address as a plain substring, both sides passed
// through NormalizeText. An empty plain text lets every address through.
//
// A regular expression typed by the operator must not be able to hang the program. Two
// bounds keep the matching short: each match may take at most MatchStepLimit steps of
// the matcher (PCRE's own match limit, set at the start of the pattern; a pattern that
// backtracks catastrophically gives up at once), and all the matches of one fill together
// may take at most the time budget. Either bound ends the fill with AddressTestTooSlow.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QString>

#include <stdexcept>

namespace vel {

class AddressTestTooSlow : public std::runtime_error {
public:
    AddressTestTooSlow() : std::runtime_error("address expression took too long") {}
    // The operator's message.
    static QString Message();
};

class AddressTest {
public:
    static constexpr int MatchStepLimit = 1000000;
    static constexpr int DefaultBudgetMs = 3000;

    // The test for the text of the address filter; `enabled` false lets every record
    // through. A plain text is normalized at once (plainText() gives it back for the edit).
    AddressTest(bool enabled, const QString &text, int budgetMs = DefaultBudgetMs);

    bool enabled() const { return m_enabled; }
    bool isRegularExpression() const { return m_regex; }
    // False for a regular expression that does not compile; error() then tells why.
    bool isValid() const;
    QString error() const;
    QString plainText() const { return m_plain; }

    // Whether the address passes. Throws AddressTestTooSlow (see above).
    bool Passes(const QString &address);

private:
    bool m_enabled;
    bool m_regex = false;
    QString m_plain;
    QString m_pattern;              // as typed, without the leading "/"
    QRegularExpression m_re;
    qint64 m_budgetNs;
    qint64 m_spentNs = 0;
};

} // namespace vel
