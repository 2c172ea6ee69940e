#include "cli/CliLog.h"

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

CliLog::CliLog(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

void CliLog::Update(const std::string& text)
{
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
    if (startS_ < 0.0)
        startS_ = nowS;
    percent_ = percent;
    percentAtS_ = nowS;
    DrawProgressLine();
}

void CliLog::PrintLine(const std::string& line)
{
    Emit(line);
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
    for (int line = 0; line < progressLines_; ++line)
        std::fputs(line == 0 ? "\r\033[K" : "\033[A\033[K", out_);
    progressLines_ = 0;
}

std::string CliLog::ProgressText() const
{
    std::string text = live_;
    if (percent_ >= 0) {
        text += "  " + std::to_string(percent_) + "%";
        const double elapsed = percentAtS_ - startS_;
        if (totalBytes_ > 0.0 && percent_ > 0 && elapsed > 0.5) {
            const double done = totalBytes_ * percent_ / 100.0;
            char rate[48];
            std::snprintf(rate, sizeof rate, "  %.1f KiB/s", done / elapsed / 1024.0);
            text += rate;
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
    for (const std::string& line : pending_) {
        std::fprintf(out_, "%s\n", line.c_str());
        ++progressLines_;
    }
    std::fprintf(out_, "%s", ProgressText().c_str());
    ++progressLines_;
    std::fflush(out_);
}
