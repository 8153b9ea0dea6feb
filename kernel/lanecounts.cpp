// The lane kernel, compiled once for each instruction set that Highway
// targets (foreach_target.h includes this file again for each), and the
// choice among them when the program runs.
//
// Each lane runs Engine's loop on one pixel: per test the products x * x and
// y * y, their sum compared with 4, the product y * x, then y = (yx + yx) +
// 0.58 and x = (xx - yy) - 0.54, each one binary64 operation rounded on its
// own. Only Mul, Add, Sub and Div are used, never MulAdd, and the library is
// built without contraction, so that no target fuses a product into a sum.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "lanecounts.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "lanecounts.h"

#include <algorithm>
#include <bit>
#include <limits>

HWY_BEFORE_NAMESPACE();
namespace lanekernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

constexpr double escapeBound = 4.0;
// The most lanes of a vector of doubles on any target (SVE's longest).
constexpr size_t maxLanes = HWY_MAX_BYTES / sizeof(double);

// A lane's pixel: its point, the round of the loop that ran its first test,
// and its place in the run (-1: none, the lane idles).
struct Lane {
    double x;
    double y;
    int64_t start;
    int64_t pixel;
};

// The run's pixels in order, mapped as Engine maps them. A column or row
// index (below 2^31) times the step (below 2^31) is worked out in 64 bits,
// where it cannot overflow; the column or row it gives fits 32 bits by the
// lattice's rule, so that columns and rows of any size up to 2^31 - 1 map
// exactly.
class Feed {
public:
    Feed(const PixelLattice& lattice, size_t begin, size_t end)
        : m_lattice(lattice), m_size(end - begin),
          m_colIndex(int64_t(begin % size_t(lattice.columns))),
          m_rowIndex(int64_t(begin / size_t(lattice.columns)))
    {
    }

    bool empty() const { return m_taken == m_size; }

    // The next pixel, its first test in the round start; false once the run
    // is out.
    bool next(Lane& lane, int64_t start)
    {
        if (empty())
            return false;
        if (m_rowIndex != m_mappedRow) {
            const auto row = int32_t(m_lattice.firstRow + m_rowIndex * m_lattice.step);
            m_y = static_cast<double>(row) / m_lattice.scaleY;
            m_y = m_y + m_lattice.top;
            m_mappedRow = m_rowIndex;
        }
        const auto col = int32_t(m_lattice.firstCol + m_colIndex * m_lattice.step);
        lane.x = static_cast<double>(col) / m_lattice.scaleX;
        lane.x = lane.x + m_lattice.left;
        lane.y = m_y;
        lane.start = start;
        lane.pixel = int64_t(m_taken++);
        if (++m_colIndex == m_lattice.columns) {
            m_colIndex = 0;
            ++m_rowIndex;
        }
        return true;
    }

private:
    const PixelLattice& m_lattice;
    size_t m_size;
    size_t m_taken = 0;
    int64_t m_colIndex;
    int64_t m_rowIndex;
    int64_t m_mappedRow = -1;
    double m_y = 0;
};

// The lanes still working when the run is out, whose next test would have
// been in the round paused, handed on as they were: their first test moves
// on by the rounds they waited.
class InFlight {
public:
    explicit InFlight(int64_t paused) : m_paused(paused) {}

    void add(const Lane& lane) { m_lanes[m_size++] = lane; }

    bool next(Lane& lane, int64_t resumed)
    {
        if (m_taken == m_size)
            return false;
        lane = m_lanes[m_taken++];
        lane.start += resumed - m_paused;
        return true;
    }

private:
    int64_t m_paused;
    Lane m_lanes[4 * maxLanes];
    size_t m_size = 0;
    size_t m_taken = 0;
};

// An idle lane: NaN never escapes, and its last test never comes.
constexpr Lane idle{std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<int64_t>::max() / 2, -1};

// A vector's lanes spelled out while they are handed new pixels.
struct LaneStore {
    HWY_ALIGN double x[maxLanes];
    HWY_ALIGN double y[maxLanes];
    HWY_ALIGN int64_t start[maxLanes];
    int64_t pixel[maxLanes];

    LaneStore()
    {
        for (size_t i = 0; i < maxLanes; ++i)
            set(i, idle);
    }
    Lane lane(size_t i) const { return {x[i], y[i], start[i], pixel[i]}; }
    void set(size_t i, const Lane& lane)
    {
        x[i] = lane.x;
        y[i] = lane.y;
        start[i] = lane.start;
        pixel[i] = lane.pixel;
    }
};

// The lanes of a mask, bit i for lane i.
HWY_INLINE uint64_t Bits(D d, M mask)
{
    uint8_t bytes[(maxLanes + 7) / 8] = {}; // bit i of byte i / 8 for lane i
    hn::StoreMaskBits(d, mask, bytes);
    uint64_t bits = 0;
    for (size_t byte = 0; byte < sizeof bytes; ++byte)
        bits |= uint64_t(bytes[byte]) << (8 * byte);
    return bits;
}

// One test of every lane. Returns the lanes that escaped.
HWY_INLINE M Test(D d, V& x, V& y)
{
    const V xx = hn::Mul(x, x);
    const V yy = hn::Mul(y, y);
    const M escaped = hn::Gt(hn::Add(xx, yy), hn::Set(d, escapeBound));
    const V yx = hn::Mul(y, x);
    y = hn::Add(hn::Add(yx, yx), hn::Set(d, cImag));
    x = hn::Sub(hn::Sub(xx, yy), hn::Set(d, cReal));
    return escaped;
}

// The lanes whose test in round was their last one: cap rounds after their
// first.
HWY_INLINE M AtCap(D d, const LaneStore& lanes, int64_t round, int64_t cap)
{
    const DI di;
    return hn::RebindMask(d, hn::Eq(hn::Load(di, lanes.start), hn::Set(di, round - (cap - 1))));
}

// Where the loop's counts go, of what type, and its cap. Engine's counts,
// 16 bits each, have Engine's cap built in, so that its loop is the one it
// always was. (A count narrowed to its type before put, rather than in it,
// keeps GCC from copying the round between registers in every round of the
// loop, a few per cent of its time.)
struct EngineCounts {
    using Count = int16_t;
    static constexpr int64_t cap = 1024;
    Count* counts;

    void put(int64_t pixel, Count count, const LaneStore&, size_t) const { counts[pixel] = count; }
};

// Counts to the caller's cap, and the lane's point after its last test if
// the caller wants them: for a lane that escaped, the point after the
// escape, which its vector took on in the same test.
struct CappedCounts {
    using Count = int32_t;
    int64_t cap;
    Count* counts;
    EscapePoint* escapes;

    void put(int64_t pixel, Count count, const LaneStore& lanes, size_t i) const
    {
        counts[pixel] = count;
        if (escapes)
            escapes[pixel] = {lanes.x[i], lanes.y[i]};
    }
};

// The same to Engine's cap, which the compiler then knows: the capped counts
// default (the smooth colouring's), at the int16 counts' speed.
struct EngineCapCounts : CappedCounts {
    static constexpr int64_t cap = EngineCounts::cap;
};

// A loop over kVectors vectors of lanes, all but the vectors themselves:
// where its pixels come from and their counts go, its lanes spelled out,
// its round, how many lanes work and the round of the first last test to
// come.
template <size_t kVectors, class Source, class Sink> struct Loop {
    Loop(Source& source, const Sink& sink, int64_t round) : source(source), sink(sink), round(round)
    {
    }

    Source& source;
    const Sink sink;
    int64_t round;
    size_t active = 0;
    int64_t nextCap = idle.start;
    LaneStore lanes[kVectors];
};

// The round of the next last test among the loop's lanes.
template <size_t kVectors, class Source, class Sink>
HWY_INLINE int64_t NextCap(D d, const Loop<kVectors, Source, Sink>& loop)
{
    int64_t first = idle.start;
    for (const LaneStore& lanes : loop.lanes)
        for (size_t i = 0; i < hn::Lanes(d); ++i)
            first = std::min(first, lanes.start[i]);
    return first + (loop.sink.cap - 1);
}

// Writes out the counts of the lanes of vector v (x, y) whose pixel ended in
// the loop's round and gives them the next lanes from its source, whose
// first test or next one is in the next round. A lane that escaped at its
// n-th test counts n; one that stayed inside for all cap tests counts
// cap + 1. The loop's nextCap becomes the round of a new lane's last test if
// that comes first.
template <size_t kVectors, class Source, class Sink>
HWY_INLINE void Refill(D d, Loop<kVectors, Source, Sink>& loop, size_t v, V& x, V& y, M ended,
                       M escaped)
{
    const int64_t cap = loop.sink.cap;
    LaneStore& lanes = loop.lanes[v];
    hn::Store(x, d, lanes.x);
    hn::Store(y, d, lanes.y);
    const uint64_t escapedBits = Bits(d, escaped);
    for (uint64_t endedBits = Bits(d, ended); endedBits != 0; endedBits &= endedBits - 1) {
        const auto i = size_t(std::countr_zero(endedBits));
        if (lanes.pixel[i] >= 0) {
            const bool escapedHere = (escapedBits >> i) & 1;
            const auto count =
                typename Sink::Count(escapedHere ? loop.round - lanes.start[i] + 1 : cap + 1);
            loop.sink.put(lanes.pixel[i], count, lanes, i);
            --loop.active;
        }
        Lane lane;
        if (loop.source.next(lane, loop.round + 1)) {
            ++loop.active;
            loop.nextCap = std::min(loop.nextCap, lane.start + (cap - 1));
        } else {
            lane = idle;
        }
        lanes.set(i, lane);
    }
    x = hn::Load(d, lanes.x);
    y = hn::Load(d, lanes.y);
}

// What follows the parameters of RunLoop's lambdas: compiled for the
// target and always inlined, so that the vectors they take by reference
// stay in registers.
#ifndef VECTOR_LAMBDA
#define VECTOR_LAMBDA HWY_ATTR __attribute__((always_inline))
#endif

// Runs the loop on kVectors vectors from its round on while more() holds,
// and leaves their lanes spelled out in the loop's. Its vectors' tests are
// independent, so the processor overlaps them (each test waits for three
// operations of the one before), and a vector whose lanes are all still
// inside costs no more than its arithmetic. A lane's test number is the
// loop's round less the round of its first test, so that only the lanes'
// escapes are looked at in each round, and the cap only in the rounds where
// a lane reaches it.
template <size_t kVectors, class Source, class Sink, class More>
HWY_INLINE void RunLoop(D d, Loop<kVectors, Source, Sink>& loop, More more)
{
    static_assert(kVectors >= 1 && kVectors <= 4);
    // Sizeless on some targets (SVE), vectors and masks cannot be held in
    // arrays: four of each are named, and those past kVectors go unused.
    V x0 = hn::Zero(d), y0 = x0, x1 = x0, y1 = x0, x2 = x0, y2 = x0, x3 = x0, y3 = x0;
    const M none = hn::FirstN(d, 0);
    M escaped0 = none, escaped1 = none, escaped2 = none, escaped3 = none;
    // f(v, x, y, escaped) for each vector v of the loop's, in order, with the
    // lanes that escaped in its last test.
    const auto each = [&](auto&& f) VECTOR_LAMBDA {
        f(size_t(0), x0, y0, escaped0);
        if constexpr (kVectors > 1)
            f(size_t(1), x1, y1, escaped1);
        if constexpr (kVectors > 2)
            f(size_t(2), x2, y2, escaped2);
        if constexpr (kVectors > 3)
            f(size_t(3), x3, y3, escaped3);
    };

    // Every lane takes a pixel as if all had ended in the round before.
    const M all = hn::FirstN(d, hn::Lanes(d));
    --loop.round;
    each([&](size_t v, V& x, V& y, M&) VECTOR_LAMBDA { Refill(d, loop, v, x, y, all, none); });
    for (++loop.round; more(); ++loop.round) {
        M any = none;
        each([&](size_t v, V& x, V& y, M& escaped) VECTOR_LAMBDA {
            escaped = Test(d, x, y);
            if (v == 0)
                any = escaped;
            else
                any = hn::Or(any, escaped);
        });
        const bool cap = loop.round == loop.nextCap;
        if (HWY_LIKELY(hn::AllFalse(d, any) && !cap))
            continue;
        each([&](size_t v, V& x, V& y, M& escaped) VECTOR_LAMBDA {
            M ended = escaped;
            if (cap)
                ended = hn::Or(ended, AtCap(d, loop.lanes[v], loop.round, loop.sink.cap));
            if (!hn::AllFalse(d, ended))
                Refill(d, loop, v, x, y, ended, escaped);
        });
        if (cap)
            loop.nextCap = NextCap(d, loop);
    }
    each([&](size_t v, V& x, V& y, M&) VECTOR_LAMBDA {
        hn::Store(x, d, loop.lanes[v].x);
        hn::Store(y, d, loop.lanes[v].y);
    });
}

// The counts of the run's pixels on four vectors at once while the run
// lasts. Once it is out, the lanes still working go on in two vectors, so
// that a few long orbits at the end do not keep four vectors turning.
template <class Sink>
HWY_INLINE void CountInto(const PixelLattice& lattice, size_t begin, size_t end, const Sink& sink)
{
    const D d;
    Feed feed(lattice, begin, end);
    Loop<4, Feed, Sink> run(feed, sink, 0);
    RunLoop(d, run, [&] { return !feed.empty(); });

    InFlight flight(run.round);
    for (const LaneStore& vector : run.lanes)
        for (size_t i = 0; i < hn::Lanes(d); ++i)
            if (vector.pixel[i] >= 0)
                flight.add(vector.lane(i));
    Loop<2, InFlight, Sink> drain(flight, sink, run.round);
    RunLoop(d, drain, [&] { return drain.active > 0; });
}

void CountRun(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts)
{
    CountInto(lattice, begin, end, EngineCounts{counts});
}

void CountRunCapped(const PixelLattice& lattice, size_t begin, size_t end, int32_t* counts,
                    int32_t cap, EscapePoint* escapes)
{
    if (cap == EngineCapCounts::cap)
        CountInto(lattice, begin, end, EngineCapCounts{{cap, counts, escapes}});
    else
        CountInto(lattice, begin, end, CappedCounts{cap, counts, escapes});
}

int64_t Target()
{
    return HWY_TARGET;
}

} // namespace HWY_NAMESPACE
} // namespace lanekernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace lanekernel {

HWY_EXPORT(CountRun);
HWY_EXPORT(CountRunCapped);
HWY_EXPORT(Target);

void countRun(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts)
{
    HWY_DYNAMIC_DISPATCH(CountRun)(lattice, begin, end, counts);
}

void countRun(const PixelLattice& lattice, size_t begin, size_t end, int32_t* counts, int32_t cap,
              EscapePoint* escapes)
{
    HWY_DYNAMIC_DISPATCH(CountRunCapped)(lattice, begin, end, counts, cap, escapes);
}

int64_t target()
{
    return HWY_DYNAMIC_DISPATCH(Target)();
}

} // namespace lanekernel

void laneCounts(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts)
{
    if (begin < end)
        lanekernel::countRun(lattice, begin, end, counts);
}

void laneCounts(const PixelLattice& lattice, size_t begin, size_t end, int32_t* counts, int32_t cap,
                EscapePoint* escapes)
{
    if (begin < end)
        lanekernel::countRun(lattice, begin, end, counts, std::clamp(cap, 1, maxLaneCap), escapes);
}

const char* laneTarget()
{
    return hwy::TargetName(lanekernel::target());
}

std::vector<std::string> laneTargets()
{
    std::vector<std::string> names;
    for (const int64_t target : hwy::SupportedAndGeneratedTargets())
        names.emplace_back(hwy::TargetName(target));
    return names;
}

bool useLaneTarget(const std::string& name)
{
    hwy::SetSupportedTargetsForTest(0);
    if (name.empty())
        return true;
    for (const int64_t target : hwy::SupportedAndGeneratedTargets())
        if (name == hwy::TargetName(target)) {
            hwy::SetSupportedTargetsForTest(target);
            return true;
        }
    return false;
}

#endif // HWY_ONCE
