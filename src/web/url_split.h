#pragma once
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace marl {

// A plan's address is free text. These three rules take from it what a connection needs; they never
// fail and never validate, so any text yields a host, a port and a path.

// The host, lower-cased (ASCII letters only), after the first "https://" at the start or else after the
// first "http://" anywhere (an address without one is taken as "http://"). With keep_port false the host
// is cut before its first ":".
Text UrlHost(std::string_view url, bool keep_port);

// The number after the last ":" of the host with its port (0 when no digits follow it), else 443 for
// an address beginning with "https" and 80 for any other.
int32_t UrlPort(std::string_view url);

// Everything from the first "/" after the host, as written (case, query and fragment kept); "/" when
// nothing follows the host.
Text UrlPath(std::string_view url);

}  // namespace marl
