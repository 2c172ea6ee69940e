#pragma once

#include <string>

// A pseudo-terminal pair for end-to-end tests: the master side in raw mode, and a symlink to the
// slave under a temporary folder that a port map can name.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& slaveName() const { return slave_; }
    // Link to the slave, e.g. /tmp/servicetool-XXXX/ttyA.
    const std::string& link() const { return link_; }

    // Reads up to `count` bytes from the master within `timeoutMs`.
    std::string ReadMaster(std::size_t count, int timeoutMs);
    bool WriteMaster(const std::string& bytes);

private:
    int master_ = -1;
    std::string slave_;
    std::string folder_;
    std::string link_;
};
