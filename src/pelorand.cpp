// pelorand: reads tokens of decimal digits from pelorand.inp in the working
// directory and writes to pelorand.out, for each token, its digit profile and
// "1" when it uses 3 to 6 different digits about evenly, or "-1" otherwise.
// Arguments and the environment are ignored.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "batch.h"

namespace {

constexpr const char* input_name = "pelorand.inp";
constexpr const char* output_name = "pelorand.out";

// One line on standard error: "pelorand: <file>: <reason>".
void report(const char* file, const char* reason) {
    std::string line = std::string("pelorand: ") + file + ": " + reason + "\n";
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;  // nowhere left to report a failure to report
}

// Descriptors 0, 1 and 2 that were closed at start are pointed at /dev/null,
// so that the data files land on 0 and 1 and a message never lands in either.
void keep_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int null_fd = ::open("/dev/null", O_RDWR);
        if (null_fd < 0) continue;
        if (null_fd != fd) {
            ::dup2(null_fd, fd);
            ::close(null_fd);
        }
    }
}

// Opens path onto descriptor target. Returns 0 or the errno of the failure.
int open_onto(int target, const char* path, int flags) {
    int fd = ::open(path, flags, 0666);
    if (fd < 0) return errno;
    if (fd != target) {
        if (::dup2(fd, target) < 0) {
            int err = errno;
            ::close(fd);
            return err;
        }
        ::close(fd);
    }
    return 0;
}

}  // namespace

int main() {
    keep_standard_descriptors();

    // The output is created or emptied even when the input cannot be opened.
    int input_error = open_onto(0, input_name, O_RDONLY);
    int output_error = open_onto(1, output_name, O_WRONLY | O_CREAT | O_TRUNC);
    if (input_error != 0) report(input_name, std::strerror(input_error));
    if (output_error != 0) report(output_name, std::strerror(output_error));
    if (input_error != 0 || output_error != 0) return 1;

    batch_result result = run_batch(0, 1);
    if (result.output_error == 0 && ::close(1) != 0) result.output_error = errno;

    if (result.count_out_of_range) report(input_name, "token count out of range");
    if (result.input_error != 0) report(input_name, std::strerror(result.input_error));
    if (result.output_error != 0) report(output_name, std::strerror(result.output_error));
    bool failed = result.count_out_of_range || result.input_error != 0 || result.output_error != 0;
    return failed ? 1 : 0;
}
