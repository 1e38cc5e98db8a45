#pragma once
#include "text/text.h"

namespace marl {

// The address a stored article link stands for, for opening it. A plan saved without 补上域名 records
// its links as the page wrote them ("/np/2.html", "np/2.html", "//host/np/2.html"); such a link is
// resolved against the plan's list-page address as a browser resolves a link on that page. A link
// that names its scheme, or one with no list address to resolve it against, comes back as it is.
// What is stored never changes; this only decides what the browser gets.
Text ResolveArticleAddress(const Text& stored, const Text& list_url);

}  // namespace marl
