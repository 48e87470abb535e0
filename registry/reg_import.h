// The toolkit's own import files, as far as its tests need to reach them.
#pragma once

namespace registry {

// The import files are "%x.tmp" in the temporary folder, tried from a number
// that starts at the tick count and steps on past every name that is taken.
// Sets where the next one is tried from: a test plants names there that it
// must step over, whatever the clock says. UI thread only.
void setNextImportNumber(unsigned number);

}  // namespace registry
