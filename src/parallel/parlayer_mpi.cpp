// MPI processes over MPI_COMM_WORLD.
#include <mpi.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "parallel/parlayer.hpp"
#include "parallel/workshare.hpp"
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

void parshareindiv(void* rows, std::size_t bytes)
{
    // a row is one datatype, and no process sends more than about 1 GiB a
    // call: the counts stay ints whatever the sizes
    const int p = vars.numthreads, n = vars.numindiv;
    if (p == 1 || n < 1 || bytes == 0) return;
    if (bytes > std::size_t(INT_MAX)) stoponerror(vars.memerr, "ShareIndividuals");
    MPI_Datatype row;
    MPI_Type_contiguous(int(bytes), MPI_BYTE, &row);
    MPI_Type_commit(&row);
    const int most = int(std::max<std::size_t>(1, (std::size_t(1) << 30) / bytes));
    const std::size_t np = static_cast<std::size_t>(p);
    std::vector<int> first(np), count(np), counts(np), offsets(np);
    int longest = 0;
    for (int r = 0; r < p; ++r) {
        int32_t a = 0, b = 0;
        lociblock(n, p, r, a, b);
        first[std::size_t(r)] = a - 1;
        count[std::size_t(r)] = b - a + 1;
        longest = std::max(longest, b - a + 1);
    }
    for (int done = 0; done < longest; done += most) {
        for (int r = 0; r < p; ++r) {
            counts[std::size_t(r)] = std::clamp(count[std::size_t(r)] - done, 0, most);
            offsets[std::size_t(r)] = first[std::size_t(r)] + done;
        }
        MPI_Allgatherv(MPI_IN_PLACE, 0, MPI_DATATYPE_NULL, rows, counts.data(), offsets.data(), row, MPI_COMM_WORLD);
    }
    MPI_Type_free(&row);
}

// The tags of the work handed out, and of a text's size and bytes; a text
// goes in pieces of at most 1 GiB (MPI counts are int).
constexpr int tagwork = 11, tagsize = 12, tagtext = 13;
constexpr long long textpiece = 1LL << 30;

void parsendwork(int32_t to, int64_t piece)
{
    long long v = piece;
    MPI_Send(&v, 1, MPI_LONG_LONG, to, tagwork, MPI_COMM_WORLD);
}

int64_t parrecvwork()
{
    long long v = -1;
    MPI_Recv(&v, 1, MPI_LONG_LONG, 0, tagwork, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    return v;
}

void parsendtext(const std::string& text)
{
    long long size = (long long)text.size();
    MPI_Send(&size, 1, MPI_LONG_LONG, 0, tagsize, MPI_COMM_WORLD);
    for (long long done = 0; done < size; done += textpiece)
        MPI_Send(text.data() + done, int(std::min(textpiece, size - done)), MPI_CHAR, 0, tagtext, MPI_COMM_WORLD);
}

int32_t parrecvtext(std::string& text, bool wait)
{
    MPI_Status st;
    int come = 1;
    if (wait) MPI_Probe(MPI_ANY_SOURCE, tagsize, MPI_COMM_WORLD, &st);
    else MPI_Iprobe(MPI_ANY_SOURCE, tagsize, MPI_COMM_WORLD, &come, &st);
    if (!come) return -1;
    const int from = st.MPI_SOURCE;
    long long size = 0;
    MPI_Recv(&size, 1, MPI_LONG_LONG, from, tagsize, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    text.resize(std::size_t(size));
    for (long long done = 0; done < size; done += textpiece)
        MPI_Recv(text.data() + done, int(std::min(textpiece, size - done)), MPI_CHAR, from, tagtext, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
    return from;
}

void parbarrier() { MPI_Barrier(MPI_COMM_WORLD); }
