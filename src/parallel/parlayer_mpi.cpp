// MPI processes over MPI_COMM_WORLD.
#include <mpi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "parallel/parlayer.hpp"
#include "run/stop.hpp"
#include "run/variables.hpp"

void initializethreads()
{
    vars.threadid = 0;
    vars.numthreads = 1;
    int argc = 0;
    char** argv = nullptr;
    if (MPI_Init(&argc, &argv) != 0) stoponerror("Error starting MPI program. Terminating.", "InitializeThreads");
    int rank = 0, size = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    vars.threadid = rank;
    vars.numthreads = size;
    vars.thd0q = rank == 0;
}

void finishthreads()
{
    int started = 0;
    MPI_Initialized(&started);
    int finished = 0;
    MPI_Finalized(&finished);
    if (started && !finished) MPI_Finalize();
}

// MPI counts are int: long arrays go in pieces.
template <class T>
static void sumpieces(const T* send, T* recv, std::size_t n, MPI_Datatype type)
{
    const std::size_t piece = std::size_t(1) << 28;
    for (std::size_t done = 0; done < n; done += piece) {
        std::size_t m = n - done < piece ? n - done : piece;
        MPI_Allreduce(send + done, recv + done, int(m), type, MPI_SUM, MPI_COMM_WORLD);
    }
}

void parsumint(const int32_t* send, int32_t* recv, std::size_t n) { sumpieces(send, recv, n, MPI_INT32_T); }
void parsumreal(const float* send, float* recv, std::size_t n) { sumpieces(send, recv, n, MPI_FLOAT); }
void parsumdouble(const double* send, double* recv, std::size_t n) { sumpieces(send, recv, n, MPI_DOUBLE); }

void parsumlong(const int64_t* send, int64_t* recv, std::size_t n) { sumpieces(send, recv, n, MPI_INT64_T); }

void pargather(const std::string& mine, std::string& all)
{
    // sizes first, then the bytes: straight into `all` when every offset
    // fits an int, else in pieces of at most 1 GiB each text
    const int p = vars.numthreads;
    long long size = (long long)mine.size();
    std::vector<long long> sizes(std::size_t(p), 0);
    MPI_Gather(&size, 1, MPI_LONG_LONG, sizes.data(), 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    long long total = 0;
    for (long long s : sizes) total += s;
    all.clear();
    // room to spare, so that texts a little longer next time find it
    if (vars.thd0q && all.capacity() < std::size_t(total)) all.reserve(std::size_t(total + total / 4));
    if (vars.thd0q) all.resize(std::size_t(total));
    std::vector<int> counts(std::size_t(p), 0), offsets(std::size_t(p), 0);
    int whole = total <= INT_MAX;
    MPI_Bcast(&whole, 1, MPI_INT, 0, MPI_COMM_WORLD);
    if (whole) {
        for (int r = 0, at = 0; r < p; at += counts[std::size_t(r)], ++r) {
            counts[std::size_t(r)] = int(sizes[std::size_t(r)]);
            offsets[std::size_t(r)] = at;
        }
        MPI_Gatherv(mine.data(), int(size), MPI_CHAR, all.data(), counts.data(), offsets.data(), MPI_CHAR, 0,
                    MPI_COMM_WORLD);
        return;
    }
    const long long piece = 1LL << 30;
    long long most = size;
    MPI_Allreduce(&size, &most, 1, MPI_LONG_LONG, MPI_MAX, MPI_COMM_WORLD);
    std::vector<long long> at(std::size_t(p), 0);
    for (int r = 1; r < p; ++r) at[std::size_t(r)] = at[std::size_t(r - 1)] + sizes[std::size_t(r - 1)];
    std::string gathered;
    for (long long done = 0; done < most; done += piece) {
        const int mycount = int(std::max(0LL, std::min(piece, size - done)));
        int got = 0;
        if (vars.thd0q)
            for (int r = 0; r < p; ++r) {
                counts[std::size_t(r)] = int(std::max(0LL, std::min(piece, sizes[std::size_t(r)] - done)));
                offsets[std::size_t(r)] = got;
                got += counts[std::size_t(r)];
            }
        gathered.resize(std::size_t(got));
        MPI_Gatherv(mine.data() + (mycount > 0 ? done : 0), mycount, MPI_CHAR, gathered.data(), counts.data(),
                    offsets.data(), MPI_CHAR, 0, MPI_COMM_WORLD);
        if (vars.thd0q)
            for (int r = 0; r < p; ++r)
                std::memcpy(all.data() + at[std::size_t(r)] + done, gathered.data() + offsets[std::size_t(r)],
                            std::size_t(counts[std::size_t(r)]));
    }
}

void parbarrier() { MPI_Barrier(MPI_COMM_WORLD); }
