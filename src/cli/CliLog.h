#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Shows on a terminal the log text that an operation keeps rewriting, as the window's log box shows
// it. A line is printed once it can no longer change (a finished line followed by another finished
// line: the last finished line may still be completed, as "Download Eeprom  ..." becomes
// "Download Eeprom  ...  OK"). On a terminal one progress line below the printed ones shows the
// line still changing (a page counter, "timeOut = 3"), or else that last finished line, with the
// percentage, rate and time left, and is redrawn; elsewhere it is left out. Finish() prints what
// is left.
class CliLog {
public:
    // `width`: the terminal's columns.
    CliLog(std::FILE* out, bool terminal, int width = 80);

    // The whole log text, CR LF between lines.
    void Update(const std::string& text);
    // Progress of a transfer of `totalBytes` in all, for the rate and the time left.
    void SetTransferSize(double totalBytes) { totalBytes_ = totalBytes; }
    void SetProgress(int percent, double nowS);
    // The progress bar is hidden: no percentage any more.
    void HideProgress();
    // A line of its own (a message box, an error of the command line tool).
    void PrintLine(const std::string& line);
    // From now on the log text is no longer shown, nor what of it is not printed yet: an operation
    // stopped at once says nothing more worth reading. Lines of their own still are.
    void Freeze();
    void Finish();

    // Everything printed so far, for the JSON result and for tests.
    const std::string& Printed() const { return printedText_; }

private:
    void Emit(const std::string& line);
    void ClearProgressLine();
    void DrawProgressLine();
    std::string ProgressText() const;

    std::FILE* out_;
    bool terminal_;
    std::vector<std::string> printed_;  // the log's lines printed so far, in order
    std::vector<std::string> pending_;  // the log's lines not printed yet
    std::string live_;                  // the line still changing
    std::string printedText_;
    int width_;
    bool frozen_ = false;
    int progressLines_ = 0;  // 1 while the progress line is on screen
    int percent_ = -1;
    double totalBytes_ = 0.0;
    double startS_ = -1.0;
    double percentAtS_ = 0.0;
};
