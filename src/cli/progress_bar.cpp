#include "cli/progress_bar.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace velmora {
namespace {

constexpr int barWidth = 30;

std::string clock(double seconds)
{
    const auto s = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::uint64_t total, std::FILE* stream, const char* items)
    : total_(total), stream_(stream), items_(items), enabled_(::isatty(::fileno(stream)) == 1),
      start_(std::chrono::steady_clock::now())
{
}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(std::uint64_t done)
{
    if (!enabled_ || total_ == 0)
        return;
    done = std::min(done, total_);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double fraction = static_cast<double>(done) / static_cast<double>(total_);
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " +
                       std::to_string(done) + "/" + std::to_string(total_) + " " + items_;
    if (done > 0 && elapsed > 0.0) {
        const double rate = static_cast<double>(done) / elapsed;
        char text[64];
        std::snprintf(text, sizeof text, "  %.0f/s  %s left", rate,
                      clock(static_cast<double>(total_ - done) / rate).c_str());
        line += text;
    }
    line += "\033[K";
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    drawn_ = true;
}

void ProgressBar::finish()
{
    if (!drawn_)
        return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    drawn_ = false;
}

}  // namespace velmora
