// MPI processes over MPI_COMM_WORLD.
#include <mpi.h>

#include <climits>

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

void parbarrier() { MPI_Barrier(MPI_COMM_WORLD); }
