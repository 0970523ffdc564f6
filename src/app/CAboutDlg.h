#pragma once

#include <QDialog>

class QLabel;

// "About Veltrix": the program's icon, four lines of identity and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QString Text() const;

  private:
    QLabel* m_text;
};
