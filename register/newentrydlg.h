#pragma once
// The patient dialog: adds and edits one patient of the register. Created once at start
// and reused; hidden between uses.
#include <QDialog>

#include <memory>

namespace Ui { class TfmAddRec; }

class TfmAddRec : public QDialog {
    Q_OBJECT
public:
    explicit TfmAddRec(QWidget *parent = nullptr);
    ~TfmAddRec() override;

    Ui::TfmAddRec &ui() { return *m_ui; }

private:
    std::unique_ptr<Ui::TfmAddRec> m_ui;
};
