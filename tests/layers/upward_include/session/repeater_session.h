// A session that reaches up into the windows: the layer check must refuse it.
#pragma once

#include "link/om_link.h"
#include "ui/tavrel_dlg.h"
