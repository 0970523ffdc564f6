#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppResources.h"
#include "platform/ProgramVersion.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    EnsureAppResources();
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("About Veltrix"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/veltrix.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    m_text = new QLabel(QStringLiteral("Multiple Output VELTRIX Application\n"
                                       "Version 2.0\n"
                                       "Copyright \u00A9 VELTRIX Sensor Systems\n"
                                       "All Rights Reserved"),
                        this);
    m_text->setObjectName(QStringLiteral("aboutText"));
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The build's own version, apart from the four lines of identity.
    m_version = new QLabel(QString::fromStdString(VersionLine("veltrix")), this);
    m_version->setObjectName(QStringLiteral("programVersion"));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_version->setForegroundRole(QPalette::PlaceholderText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_text);
    texts->addSpacing(6);
    texts->addWidget(m_version);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutDlg::Text() const { return m_text->text(); }

QString CAboutDlg::VersionText() const { return m_version->text(); }
