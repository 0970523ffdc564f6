#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

// "Set Part Number and Date Code": the part numbers of the profile in a list,
// the first one chosen, and the date code of today, which cannot be edited.
// OK keeps the chosen text; a choice with no number to send (an empty list, a
// value that does not begin with a digit) is refused there with a message, so
// the dialog never ends with OK on it.
class CPartNumberDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CPartNumberDlg(QWidget* parent);

    // The texts the dialog ended with (valid after OK).
    const std::string& PartNumberText() const { return m_partNumberText; }
    const std::string& DateCodeText() const { return m_dateCodeText; }

    void accept() override;

  private:
    std::string SelectedText() const;

    std::string m_partNumberText;
    std::string m_dateCodeText;
    QListWidget* m_list;
    QLineEdit* m_dateCode;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
