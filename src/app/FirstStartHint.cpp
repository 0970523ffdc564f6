#include "app/FirstStartHint.h"

#include "platform/SettingsStore.h"

namespace {

constexpr const char* kSection = "Options";
constexpr const char* kValue = "Reached";

}  // namespace

FirstStartHint::FirstStartHint(QWidget* parent) : QLabel(Text(), parent) {
    setObjectName(QStringLiteral("firstStartHint"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(24);
    setTextFormat(Qt::RichText);
    SettingsStore* settings = Settings();
    setVisible(!settings || settings->GetInt(kSection, kValue, 0) == 0);
}

QString FirstStartHint::Text() {
    return QStringLiteral(
        "<p><b>To reach the controller</b></p>"
        "<p>Connect it to a serial port of this computer (a USB adapter will do).<br>"
        "Choose that port under <b>Options &gt; Serial Port</b>, or let "
        "<b>Options &gt; Find Controller...</b> search every port.<br>"
        "Then press <b>F2</b> for the diagnostics.</p>");
}

void FirstStartHint::ControllerReached() {
    if (isHidden()) return;
    hide();
    // Written at once, like the trace choice: it is no setting of the user's.
    if (SettingsStore* settings = Settings()) settings->SetInt(kSection, kValue, 1);
}
