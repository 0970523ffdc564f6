#pragma once

#include <QWidget>
#include <vector>

// A QR code of a text (libqrencode, error correction M), drawn dark on
// white with its quiet zone whatever the theme, since phone cameras read
// that best. Empty when the text cannot be encoded.
class QrCodeView : public QWidget {
    Q_OBJECT

  public:
    explicit QrCodeView(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // Modules per side, 0 when empty; whether module (x, y) is dark.
    int ModuleCount() const { return m_size; }
    bool IsDark(int x, int y) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_size = 0;
    std::vector<bool> m_modules;
};
