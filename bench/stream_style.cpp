// The same job in plain stream style, for comparison only: formatted
// extraction into a std::string, a table of ten counters, formatted
// insertion. Built twice: ending lines with std::endl (a flush per line)
// and with '\n'. Never installed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#ifndef LINE_END
#error "LINE_END must be std::endl or '\\n'"
#endif

int main() {
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    if (!std::freopen("pelorand.inp", "r", stdin) || !std::freopen("pelorand.out", "w", stdout)) return 1;
    std::int64_t n = 0, k = 0;
    std::cin >> n >> k;
    while (n-- > 0) {
        std::string token;
        std::cin >> token;
        std::int64_t count[10] = {};
        bool digits_only = true;
        for (char c : token) {
            if (c >= '0' && c <= '9')
                ++count[c - '0'];
            else
                digits_only = false;
        }
        std::int64_t used = 0, low = INT64_MAX, high = INT64_MIN;
        for (std::int64_t c : count) {
            if (c == 0) continue;
            ++used;
            low = std::min(low, c);
            high = std::max(high, c);
        }
        if (digits_only && used >= 3 && used <= 6 && high - low <= k)
            std::cout << used << ' ' << high << ' ' << low << LINE_END << 1 << LINE_END;
        else
            std::cout << -1 << LINE_END;
    }
    return 0;
}
