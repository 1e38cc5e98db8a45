#pragma once
#include <string_view>

#include "text/text.h"

namespace marl {

// What the plan suggestion reads from a link's address: its shape, and the site it belongs to.

// The address with its digits blurred and its last part reduced to its extension and query names:
// links of one list share it, links of a menu rarely do.
Text AddressShape(std::string_view link);

// The host of an address ("" for a relative one, which is on the page's own site).
std::string_view HostOf(std::string_view link);

// The site an address belongs to: the last two labels of its host, three when the last two are a
// country's second level ("163.com", "sina.com.cn"). Empty for a relative address.
std::string_view SiteOf(std::string_view link);

// A relative address is on every page's site.
bool SameSite(std::string_view site, std::string_view page_site);

}  // namespace marl
