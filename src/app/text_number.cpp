#include "app/text_number.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace velmora {
namespace {

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace

std::optional<double> scanDouble(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale());
    if (end == begin || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> scanInt(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const long value = strtol_l(begin, &end, 10, cLocale());
    if (end == begin)
        return std::nullopt;
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace velmora
