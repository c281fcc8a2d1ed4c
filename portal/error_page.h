#pragma once

#include <string>
#include <string_view>

namespace mevra::portal {

// The HTML page of an error answer, e.g. ErrorPage(404, "没有这个榜单").
std::string ErrorPage(int status, std::string_view message);

}  // namespace mevra::portal
