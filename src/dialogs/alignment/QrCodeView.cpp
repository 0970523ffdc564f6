#include "dialogs/alignment/QrCodeView.h"

#include <qrencode.h>

#include <QPainter>
#include <algorithm>

namespace {

constexpr int kQuietZone = 4;  // modules of white around the code

}  // namespace

QrCodeView::QrCodeView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void QrCodeView::SetText(const QString& text) {
    m_size = 0;
    m_modules.clear();
    const QByteArray bytes = text.toUtf8();
    if (QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1)) {
        m_size = code->width;
        m_modules.resize(static_cast<std::size_t>(m_size) * m_size);
        for (int i = 0; i < m_size * m_size; ++i) m_modules[static_cast<std::size_t>(i)] = code->data[i] & 1;
        QRcode_free(code);
    }
    updateGeometry();
    update();
}

bool QrCodeView::IsDark(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_size || y >= m_size) return false;
    return m_modules[static_cast<std::size_t>(y) * m_size + x];
}

QSize QrCodeView::sizeHint() const {
    // Four pixels a module: a phone reads it from the laptop's screen at arm's length.
    const int side = (std::max(m_size, 21) + 2 * kQuietZone) * 4;
    return {side, side};
}

QSize QrCodeView::minimumSizeHint() const { return sizeHint(); }

void QrCodeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_size == 0) return;
    const int modules = m_size + 2 * kQuietZone;
    const int scale = std::max(1, std::min(width(), height()) / modules);
    const int offset = (std::min(width(), height()) - scale * modules) / 2 + kQuietZone * scale;
    for (int y = 0; y < m_size; ++y)
        for (int x = 0; x < m_size; ++x)
            if (IsDark(x, y)) painter.fillRect(offset + x * scale, offset + y * scale, scale, scale, Qt::black);
}
