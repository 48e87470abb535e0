// The update window's form data.
#pragma once

#include "platform/form.h"

namespace update {

const platform::FormSpec& updateFormSpec();

}  // namespace update
