#include "register/addresstest.h"

#include "common/text.h"

namespace vel {

namespace {

// PCRE reads match limits from the very start of a pattern; a limit there can lower the
// matcher's own default but never raise it, so the operator's text cannot lift it.
QString LimitPrefix() { return QStringLiteral("(*LIMIT_MATCH=%1)").arg(AddressTest::MatchStepLimit); }

} // namespace

QString AddressTestTooSlow::Message()
{
    return QStringLiteral("Проверка адресов по регулярному выражению заняла слишком много времени, "
                          "поиск прерван.\nУпростите выражение в фильтре «Адрес».");
}

AddressTest::AddressTest(bool enabled, const QString &text, int budgetMs)
    : m_enabled(enabled), m_budgetNs(qint64(budgetMs) * 1000000)
{
    if (!enabled)
        return;
    if (text.startsWith(QLatin1Char('/'))) {
        m_regex = true;
        m_pattern = text.mid(1);
        m_re = QRegularExpression(LimitPrefix() + m_pattern, QRegularExpression::CaseInsensitiveOption);
        m_re.optimize();
    } else {
        m_plain = NormalizeText(text);
    }
}

bool AddressTest::isValid() const { return !m_regex || m_re.isValid(); }

QString AddressTest::error() const
{
    if (isValid())
        return QString();
    const int at = std::max(0, int(m_re.patternErrorOffset() - LimitPrefix().size()));
    return QStringLiteral("Ошибка в регулярном выражении фильтра «Адрес»: %1 (позиция %2).\n/%3")
        .arg(m_re.errorString()).arg(at + 2).arg(m_pattern);
}

bool AddressTest::Passes(const QString &address)
{
    if (!m_enabled)
        return true;
    if (!m_regex)
        return m_plain.isEmpty() || NormalizeText(address).contains(m_plain);
    QElapsedTimer clock;
    clock.start();
    const QRegularExpressionMatch m = m_re.match(address);
    m_spentNs += clock.nsecsElapsed();
    // A match that is neither found nor not found is the matcher giving up at its limit.
    if (!m.isValid() || m_spentNs > m_budgetNs)
        throw AddressTestTooSlow();
    return m.hasMatch();
}

} // namespace vel
