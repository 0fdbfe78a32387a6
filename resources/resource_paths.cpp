// Where the compiled-in icons live: the files of resources/icons under the ":/icons" prefix.
#include "resources/resource_paths.h"

namespace tavrel::resource {

QString applicationIcon() {
    return QStringLiteral(":/icons/tavrel.svg");
}
QString lampAlarmAIcon() {
    return QStringLiteral(":/icons/lamp_alarm_a.svg");
}
QString lampAlarmBIcon() {
    return QStringLiteral(":/icons/lamp_alarm_b.svg");
}
QString lampNormalIcon() {
    return QStringLiteral(":/icons/lamp_normal.svg");
}
QString lampOffIcon() {
    return QStringLiteral(":/icons/lamp_off.svg");
}

} // namespace tavrel::resource
