// The manual page as plain text: the tool's --help shows sections of its
// own manual, so the two cannot say different things.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The manual page the tool was built with (vandrel.1, version filled in).
extern const std::string_view kManualPage;

// The named sections of `roff`, in the page's order, filled to `width`
// columns with the fonts dropped. Understands the requests the page's
// header lists; other requests are passed over.
std::string RenderManualSections(std::string_view roff, const std::vector<std::string>& sections,
                                 size_t width = 80);

// The names of every section of `roff`, in order.
std::vector<std::string> ManualSections(std::string_view roff);

// The options a section documents: the names ("-o", "--output") in the tags
// of its tagged paragraphs.
std::vector<std::string> ManualOptions(std::string_view roff, const std::string& section);

}  // namespace cli
