#include "platform/code_page.h"

#include <windows.h>

namespace platform {

const LeadBytes& ansiLeadBytes() {
  static const LeadBytes lead = LeadBytes::where([codePage = ::GetACP()](unsigned char byte) {
    return ::IsDBCSLeadByteEx(codePage, byte) != 0;
  });
  return lead;
}

}  // namespace platform
