// Index sort: quicksort on the index array with median-of-three pivots,
// straight insertion for short ranges and an explicit stack of pending
// ranges.  The larger part is pushed, so the stack holds at most log2(n)
// ranges: 64 entries (32 ranges) cover every array a 32-bit count can hold,
// where 50 would end at 2^28 elements, below the largest locus count the
// parameters allow.
#include <utility>

#include "genotypes/genotypes.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"

void indexx(int32_t n, const std::vector<double>& keys, std::vector<int32_t>& order)
{
    const int small = 7, nstack = 64;
    int32_t stack[nstack + 1];
    const double* arr = keys.data();
    int32_t* idx = order.data();
    for (int32_t j = 1; j <= n; ++j) idx[j] = j;
    int jstack = 0;
    int32_t l = 1, ir = n;
    for (;;) {
        if (ir - l < small) {
            for (int32_t j = l + 1; j <= ir; ++j) {
                int32_t t = idx[j];
                double a = arr[t];
                int32_t i = j - 1;
                for (; i >= l; --i) {
                    if (arr[idx[i]] <= a) break;
                    idx[i + 1] = idx[i];
                }
                idx[i + 1] = t;
            }
            if (jstack == 0) return;
            ir = stack[jstack--];
            l = stack[jstack--];
        } else {
            int32_t k = (l + ir) / 2;
            std::swap(idx[k], idx[l + 1]);
            if (arr[idx[l]] > arr[idx[ir]]) std::swap(idx[l], idx[ir]);
            if (arr[idx[l + 1]] > arr[idx[ir]]) std::swap(idx[l + 1], idx[ir]);
            if (arr[idx[l]] > arr[idx[l + 1]]) std::swap(idx[l], idx[l + 1]);
            int32_t i = l + 1, j = ir;
            int32_t t = idx[l + 1];
            double a = arr[t];
            for (;;) {
                do ++i;
                while (arr[idx[i]] < a);
                do --j;
                while (arr[idx[j]] > a);
                if (j < i) break;
                std::swap(idx[i], idx[j]);
            }
            idx[l + 1] = idx[j];
            idx[j] = t;
            if (jstack + 2 > nstack) {
                sayall(" Stack Error in Indexx");
                stoponerror("Index sort: too many pending ranges.", "Indexx");
            }
            jstack += 2;
            if (ir - i + 1 >= j - l) {
                stack[jstack] = ir;
                stack[jstack - 1] = i;
                ir = j - 1;
            } else {
                stack[jstack] = j - 1;
                stack[jstack - 1] = l;
                l = i;
            }
        }
    }
}
