#include "test_support.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


#ifndef PELORAND_BINARY
#error "PELORAND_BINARY names the program under test"
#endif

scratch_dir::scratch_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelorand-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void write_file(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

namespace {

int temporary_fd() {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) throw std::runtime_error("tmpfile failed");
    int fd = ::dup(::fileno(f));
    std::fclose(f);
    return fd;
}

std::string read_fd_from_start(int fd) {
    std::string text;
    char chunk[65536];
    ::lseek(fd, 0, SEEK_SET);
    ssize_t got;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<std::size_t>(got));
    return text;
}

}  // namespace

batch_run run_on_bytes(std::string_view input, const batch_options& options) {
    int in = temporary_fd();
    int out = temporary_fd();
    std::size_t done = 0;
    while (done < input.size()) {
        ssize_t put = ::write(in, input.data() + done, input.size() - done);
        if (put <= 0) throw std::runtime_error("cannot write the input");
        done += static_cast<std::size_t>(put);
    }
    ::lseek(in, 0, SEEK_SET);
    batch_run run;
    run.result = run_batch(in, out, options);
    run.output = read_fd_from_start(out);
    ::close(in);
    ::close(out);
    return run;
}

static int exec_program(const scratch_dir& dir, const program_setup& setup) {
    std::string error_path = dir.file("stderr.txt");
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (::chdir(dir.path.c_str()) != 0) ::_exit(126);
        int null_fd = ::open("/dev/null", O_RDWR);
        int err_fd = ::open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (null_fd < 0 || err_fd < 0) ::_exit(126);
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(err_fd, 2);
        ::close(null_fd);
        ::close(err_fd);
        for (int fd : setup.closed_fds) ::close(fd);
        ::execl(PELORAND_BINARY, "pelorand", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

int start_program(const scratch_dir& dir) { return exec_program(dir, {}); }

int wait_program(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

program_run run_program(const scratch_dir& dir, const program_setup& setup) {
    program_run run;
    run.status = wait_program(exec_program(dir, setup));
    run.error_text = read_file(dir.file("stderr.txt"));
    return run;
}
