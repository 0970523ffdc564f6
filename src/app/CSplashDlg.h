#pragma once

#include <QDialog>
#include <QPixmap>

// The start-up picture: a borderless dialog at the picture's size, centred
// on the screen, that closes itself after two seconds or on Enter or Esc.
class CSplashDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kDisplayMs = 2000;

    // An empty picturePath falls back to the built-in picture. Without a
    // picture the dialog keeps its template size and shows nothing.
    explicit CSplashDlg(QWidget* parent = nullptr,
                        const QString& picturePath = QStringLiteral(":/splash.png"));

    bool HasPicture() const { return !m_picture.isNull(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPixmap m_picture;
    int m_timerId = 0;
};
