// The window, which may use the session.
#pragma once

#include "session/repeater_session.h"
