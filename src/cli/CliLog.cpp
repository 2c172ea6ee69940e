#include "cli/CliLog.h"

#include <algorithm>
#include <cmath>

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::string Duration(double seconds)
{
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

CliLog::CliLog(std::FILE* out, bool terminal, int width) : out_(out), terminal_(terminal), width_(width) {}

void CliLog::Update(const std::string& text)
{
    if (frozen_)
        return;
    std::vector<std::string> lines = SplitLines(text);
    live_ = lines.back();
    lines.pop_back();
    // The last finished line can still be completed ("...  OK") while a live line follows it.
    std::vector<std::string> stable(lines.begin(), lines.end() - (lines.empty() ? 0 : 1));
    pending_.assign(lines.end() - (lines.empty() ? 0 : 1), lines.end());

    std::size_t same = 0;
    while (same < printed_.size() && same < stable.size() && printed_[same] == stable[same])
        ++same;
    if (same < printed_.size())
        printed_.resize(same);  // rewritten or cleared: what follows is printed anew
    for (std::size_t i = printed_.size(); i < stable.size(); ++i) {
        Emit(stable[i]);
        printed_.push_back(stable[i]);
    }
    DrawProgressLine();
}

void CliLog::SetProgress(int percent, double nowS)
{
    // A bar that starts again is the next stage: its time is counted afresh.
    if (startS_ < 0.0 || percent < percent_)
        startS_ = nowS;
    percent_ = percent;
    percentAtS_ = nowS;
    DrawProgressLine();
}

void CliLog::HideProgress()
{
    percent_ = -1;
    startS_ = -1.0;
    DrawProgressLine();
}

void CliLog::PrintLine(const std::string& line)
{
    Emit(line);
    DrawProgressLine();
}

void CliLog::Freeze()
{
    frozen_ = true;
    pending_.clear();
    live_.clear();
    DrawProgressLine();
}

void CliLog::Finish()
{
    for (const std::string& line : pending_) {
        Emit(line);
        printed_.push_back(line);
    }
    pending_.clear();
    if (!live_.empty()) {
        Emit(live_);
        live_.clear();
    }
    ClearProgressLine();
    std::fflush(out_);
}

void CliLog::Emit(const std::string& line)
{
    ClearProgressLine();
    std::fprintf(out_, "%s\n", line.c_str());
    printedText_ += line + "\n";
}

void CliLog::ClearProgressLine()
{
    if (progressLines_ > 0)
        std::fputs("\r\033[K", out_);
    progressLines_ = 0;
}

std::string CliLog::ProgressText() const
{
    // The line still changing, or else the last finished line, which may yet be completed.
    std::string text = !live_.empty() || pending_.empty() ? live_ : pending_.back();
    if (percent_ >= 0) {
        text += "  " + std::to_string(percent_) + "%";
        const double elapsed = percentAtS_ - startS_;
        if (percent_ > 0 && elapsed > 0.5) {
            if (totalBytes_ > 0.0) {
                char rate[48];
                std::snprintf(rate, sizeof rate, "  %.1f KiB/s", totalBytes_ * percent_ / 100.0 / elapsed / 1024.0);
                text += rate;
            }
            text += "  " + Duration(elapsed * (100.0 - percent_) / percent_) + " left";
        }
    }
    return text;
}

void CliLog::DrawProgressLine()
{
    if (!terminal_)
        return;
    ClearProgressLine();
    // One line, never wider than the terminal, so that it can be drawn over.
    std::string text = ProgressText();
    const std::size_t room = static_cast<std::size_t>(std::max(width_ - 1, 10));
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > room) {
            text.resize(i);
            break;
        }
    }
    std::fputs(text.c_str(), out_);
    progressLines_ = 1;
    std::fflush(out_);
}
