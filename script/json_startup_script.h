// The script every JSON document engine runs before anything else: the member counter that the
// path queries use, and JSON support for engines that lack it, each piece added only where the
// engine does not already have it.
#pragma once

#include <string_view>

namespace korvane {

// The whole start-up script as one text with CR LF line ends.
std::string_view JsonStartupScript();

}  // namespace korvane
