#pragma once
// The patient dialog: adds and edits one patient of the register. Created once at start
// and reused; hidden between uses. The caller prepares it (PrepareAdd or PrepareEdit),
// runs it modally and, on OK, stores Patient().
//
// "ОК" and "Выбыл" validate the full name and the insurance number; after a failed
// validation the window's close button is refused until "ОК" or "Выбыл" succeeds or the
// operator cancels ("Отмена" or Esc).
//
// The date pickers always hold a date. A patient without a stored birthday or passport
// issue date is shown with a stand-in (today − 2555 days, today); a stand-in the operator
// leaves as it is comes back as "not given", so that it is never stored as if it had been
// entered. Likewise any date the operator did not touch comes back exactly as it was
// stored, also one that a picker cannot show as it is.
#include <QDate>
#include <QDialog>

#include <memory>

#include "register/patientrecord.h"

namespace Ui { class TfmAddRec; }

class TfmAddRec : public QDialog {
    Q_OBJECT
public:
    explicit TfmAddRec(QWidget *parent = nullptr);
    ~TfmAddRec() override;

    Ui::TfmAddRec &ui() { return *m_ui; }

    // A new patient: empty fields, sex "м", birthday today − 2555 days.
    void PrepareAdd();
    // A stored patient.
    void PrepareEdit(const vel::PatientFields &patient);
    // What the controls hold; the masked numbers give their digits only.
    vel::PatientFields Patient() const;

    // The last "ОК" or "Выбыл" failed validation.
    bool KeepDialogOpen() const { return m_keepDialogOpen; }

    static constexpr int DefaultAgeDays = 2555;

public Q_SLOTS:
    void btOKClick();
    void btCancelClick();
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FormShow();
    void Reset(const vel::PatientFields &patient, const QString &caption);
    bool DateKeyDown(QKeyEvent *e);
    void Warn(const QString &text);

    std::unique_ptr<Ui::TfmAddRec> m_ui;
    bool m_keepDialogOpen = false;
    // A stored date and what its picker showed for it: while the picker still shows
    // that, the stored date (invalid: not given) is what the dialog gives back.
    struct DateShown {
        QDate stored;
        QDate shown;
    };
    DateShown m_birthday;
    DateShown m_passportDate;
};
