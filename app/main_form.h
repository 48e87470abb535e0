// The main window's form data.
#pragma once

#include "platform/form.h"

namespace app {

const platform::FormSpec& mainFormSpec();

}  // namespace app
