// The probabilities of a pair of genotypes under each Delta state in the
// joint EM, and the expected numbers of independent genes that follow
// from the posteriors: written once here, used by the E-step of any locus
// (jointlocus.cpp) and by the two-allele E-step of eight dyads at a time
// (jointkernel.hpp), so that both form every value the same way to the
// bit.
//
// A term function gives, for the states that can give the pattern, the
// probability of the genes that are distinct under each state, drawn in
// sequence: the first over n, later ones over n - c, n - 2c, n - 3c, each
// numerator lowered by c for every earlier draw of the same allele.
// Products are formed in the order written; floored values (at 1e-8)
// where the pattern's states can be zero.  The caller multiplies by the
// Deltas and the factors on Delta7 and Delta9.
//
// No include guard: included inside each instruction set's namespace too.

// The terms of each pattern, by the names of the states they go with.
struct termshomhom {
    double q0, q1, q2, q3;
};
struct termshomother {
    double x1, x2, x4, x3;
};
struct termshomhet {
    double x1, x2, x3;
};
struct termshomdistinct {
    double x1, x2;
};
struct termshethet {
    double xx, y8, y9;
};
struct termshetshare {
    double xx, yy;
};

// AA / AA, cA the count of A; no floor.  States: Delta1 ca/n; Delta2, 3,
// 5, 7 q1; Delta4, 6, 8 q2; Delta9 q3.
inline termshomhom homhom(double n, double ca)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double q0 = ca / n;
    const double q1 = ((ca / n) * (ca - c)) / (n - c);
    const double q2 = (q1 * (ca - c2)) / (n - c2);
    const double q3 = (q2 * (ca - c3)) / (n - c3);
    return {q0, q1, q2, q3};
}

// AA / BB.  States: Delta2 x1, Delta4 x4, Delta6 x2, Delta9 x3.
inline termshomother homother(double n, double ca, double cb)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double x1 = std::max((ca * cb) / (n * (n - c)), termfloor);
    const double x2 = std::max((x1 * (ca - c)) / (n - c2), termfloor);
    const double x4 = std::max((x1 * (cb - c)) / (n - c2), termfloor);
    const double x3 = std::max((x2 * (cb - c)) / (n - c3), termfloor);
    return {x1, x2, x4, x3};
}

// A homozygote and a heterozygote sharing its allele: AA / AB with ca the
// count of A and cb of B (states: Delta3 x1, Delta4 2 x2), or AB / BB with
// ca the count of the shared allele (Delta5 x1, Delta6 2 x2); then
// Delta8 x2 and Delta9 x3.
inline termshomhet homhet(double n, double ca, double cb)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double x1 = std::max((cb * ca) / ((n - c) * n), termfloor);
    const double x2 = std::max((x1 * (ca - c)) / (n - c2), termfloor);
    const double x3 = std::max(((2.0 * x2) * (ca - c2)) / (n - c3), termfloor);
    return {x1, x2, x3};
}

// A homozygote and a heterozygote without its allele: AA / BC (Delta4
// x1) or BC / AA (Delta6 x1), Delta9 x2; ch the homozygote's count, cx
// and cy the heterozygote's.
inline termshomdistinct homdistinct(double n, double ch, double cx, double cy)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double x1 = std::max((((2.0 * ch) * cx) * cy) / (((n - c) * n) * (n - c2)), termfloor);
    const double x2 = std::max((x1 * (ch - c)) / (n - c3), termfloor);
    return {x1, x2};
}

// AB / AB.  States: Delta7 2 xx (times the self term), Delta8 y8, Delta9
// y9.
inline termshethet hethet(double n, double ca, double cb)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double xx = std::max((ca * cb) / ((n - c) * n), termfloor);
    const double y8 = std::max((xx * ((ca + cb) - c2)) / (n - c2), termfloor);
    const double y9 = std::max((((4.0 * xx) * (ca - c)) * (cb - c)) / ((n - c3) * (n - c2)), termfloor);
    return {xx, y8, y9};
}

// AB / AC: cs the count of the shared allele, cu and cv of the others.
// States: Delta8 xx, Delta9 yy.
inline termshetshare hetshare(double n, double cs, double cu, double cv)
{
    const double c = cterm, c2 = c2term, c3 = c3term;
    const double xx = std::max(((cu * cs) * cv) / (((n - c) * n) * (n - c2)), termfloor);
    const double yy = std::max(((4.0 * xx) * (cs - c)) / (n - c3), termfloor);
    return {xx, yy};
}

// Expected independent genes from the posteriors p[0..8] (states 1..9),
// for a double or eight lanes; one and two are 1 and 2 of that kind.
// AA / AA: of A.
template <class V>
inline __attribute__((always_inline)) V geneshomhom(const V* p, V two)
{
    return ((((two - p[0]) + p[3]) + p[5]) + p[7]) + two * p[8];
}
// AA / BB: of A (with autozygous state 6 of B's carrier), and of B with
// state 4.
template <class V>
inline __attribute__((always_inline)) V geneshomother(const V* p, int state, V one)
{
    return (one + p[state]) + p[8];
}
// The homozygote's allele in AA / AB (state 3) and AB / AA (state 5).
template <class V>
inline __attribute__((always_inline)) V geneshomhet(const V* p, int state, V two)
{
    return (two - p[state]) + p[8];
}
// AB / AB: of the allele with count ca, cab the sum of both counts.
template <class V>
inline __attribute__((always_inline)) V geneshethet(const V* p, V one, V ca, V cab)
{
    return (one + p[8]) + (p[7] * ca) / cab;
}
