#pragma once

#include <string>
#include <vector>

// Runs servicetool-sim on a pseudo-terminal linked at a temporary path, for as long as it lives.
class SimProgram {
public:
    // `binFolder`: where servicetool-sim is (SERVICETOOL_BIN, else the folder of this program).
    explicit SimProgram(const std::vector<std::string>& extraArguments = {});
    ~SimProgram();
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    // True once the simulator said it is ready.
    bool ok() const { return ready_; }
    const std::string& link() const { return link_; }
    const std::string& error() const { return error_; }

    static std::string BinFolder();

private:
    int pid_ = -1;
    bool ready_ = false;
    std::string folder_;
    std::string link_;
    std::string error_;
};
