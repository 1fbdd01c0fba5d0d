// Standard error of this process, collected into a file while alive.
#pragma once

#include <cstdio>
#include <string>

#include <unistd.h>

class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        file_ = std::tmpfile();
        ::dup2(fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        std::fclose(file_);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far; the capture goes on.
    std::string text()
    {
        std::fflush(stderr);
        std::string all;
        std::rewind(file_);
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            all.append(buffer, n);
        std::fseek(file_, 0, SEEK_END);
        return all;
    }
    // Standard error goes back to where it went before; text() still answers.
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};
