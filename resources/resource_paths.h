// Resource paths of the tool's icons, by their resource numbers.
#pragma once

#include <QString>

namespace tavrel::resource {

QString applicationIcon(); // icon 128
QString lampAlarmAIcon();  // icon 132: red lamp on a dark ground
QString lampAlarmBIcon();  // icon 133: red lamp on a red ground
QString lampNormalIcon();  // icon 134: grey, unlit lamp
QString lampOffIcon();     // icon 135: dark lamp, only its base visible

} // namespace tavrel::resource
