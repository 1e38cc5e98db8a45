#pragma once
#include <string_view>

#include "text/text.h"

namespace marl {

// The name a connection is made to, for the host part of a plan's address as UrlHost gives it (GBK,
// without port). A host written in ASCII is taken as it is. An internationalised name ("中文.com",
// "例子。中国", full-width letters) becomes its ASCII form ("xn--fiq228c.com") by the same UTS #46
// rules browsers use. The result is empty when the text cannot name a host: it holds anything but
// ASCII letters, digits, ".", "-" and "_" after the conversion, its bytes are not valid GBK, or the
// name breaks the rules for internationalised names.
Text ConnectionHost(std::string_view host);

}  // namespace marl
