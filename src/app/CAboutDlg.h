#pragma once

#include <QDialog>

class QLabel;

// "About Veltrix": the program's icon, four lines of identity, the build's
// version ("veltrix 2.1.0 (git 1a2b3c4)") and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QString Text() const;
    QString VersionText() const;

  private:
    QLabel* m_text;
    QLabel* m_version;
};
