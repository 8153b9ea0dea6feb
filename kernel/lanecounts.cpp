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

#include <bit>
#include <limits>

HWY_BEFORE_NAMESPACE();
namespace lanekernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;
using M = hn::Mask<D>;

constexpr double cReal = 0.54; // subtracted: c = -0.54 + 0.58i
constexpr double cImag = 0.58;
constexpr double escapeBound = 4.0;
constexpr int64_t testCap = 1024;
// The most lanes of a vector of doubles on any target (SVE's longest).
constexpr size_t maxLanes = HWY_MAX_BYTES / sizeof(double);

// The run's pixels in order, mapped as Engine maps them.
class Feed {
public:
    Feed(const PixelLattice& lattice, size_t begin, size_t end)
        : m_lattice(lattice), m_size(end - begin),
          m_colIndex(int64_t(begin % size_t(lattice.columns))),
          m_rowIndex(int64_t(begin / size_t(lattice.columns)))
    {
    }

    // The next pixel's starting point, false once the run is out.
    bool next(double& x, double& y)
    {
        if (m_taken == m_size)
            return false;
        ++m_taken;
        if (m_rowIndex != m_mappedRow) {
            const auto row = int32_t(m_lattice.firstRow + m_rowIndex * m_lattice.step);
            m_y = static_cast<double>(row) / m_lattice.scaleY;
            m_y = m_y + m_lattice.top;
            m_mappedRow = m_rowIndex;
        }
        const auto col = int32_t(m_lattice.firstCol + m_colIndex * m_lattice.step);
        x = static_cast<double>(col) / m_lattice.scaleX;
        x = x + m_lattice.left;
        y = m_y;
        if (++m_colIndex == m_lattice.columns) {
            m_colIndex = 0;
            ++m_rowIndex;
        }
        return true;
    }

    // The place in the run of the pixel that next() gave last.
    size_t last() const { return m_taken - 1; }

private:
    const PixelLattice& m_lattice;
    size_t m_size;
    size_t m_taken = 0;
    int64_t m_colIndex;
    int64_t m_rowIndex;
    int64_t m_mappedRow = -1;
    double m_y = 0;
};

// What a vector's lanes hold, spelled out while lanes are handed new pixels:
// the point, the test number, and which pixel of the run it is (-1: none,
// the lane idles once the run is out).
struct LaneStore {
    HWY_ALIGN double x[maxLanes];
    HWY_ALIGN double y[maxLanes];
    HWY_ALIGN int64_t n[maxLanes];
    int64_t pixel[maxLanes];
};

// An idle lane: NaN never escapes, and its test number never reaches the cap.
constexpr int64_t idleTest = std::numeric_limits<int64_t>::min() / 2;

// One test of every lane: n becomes the number of the next test. Returns the
// lanes whose pixel ended, escaped sets the lanes that escaped.
HWY_INLINE M Test(D d, V& x, V& y, VI& n, M& escaped)
{
    const DI di;
    const V xx = hn::Mul(x, x);
    const V yy = hn::Mul(y, y);
    escaped = hn::Gt(hn::Add(xx, yy), hn::Set(d, escapeBound));
    const V yx = hn::Mul(y, x);
    y = hn::Add(hn::Add(yx, yx), hn::Set(d, cImag));
    x = hn::Sub(hn::Sub(xx, yy), hn::Set(d, cReal));
    n = hn::Add(n, hn::Set(di, 1));
    return hn::Or(escaped, hn::RebindMask(d, hn::Gt(n, hn::Set(di, testCap))));
}

// Writes out the counts of the lanes whose pixel ended and gives them the
// next pixels. A lane that escaped at test n counts n; one that stayed inside
// for all the tests counts 1025, its n by now.
HWY_NOINLINE void Refill(D d, V& x, V& y, VI& n, M ended, M escaped, LaneStore& lanes, Feed& feed,
                         int16_t* counts, size_t& active)
{
    const DI di;
    hn::Store(x, d, lanes.x);
    hn::Store(y, d, lanes.y);
    hn::Store(hn::Add(n, hn::VecFromMask(di, hn::RebindMask(di, escaped))), di, lanes.n);
    // Bit i of byte i / 8 for lane i.
    uint8_t endedBytes[(maxLanes + 7) / 8] = {};
    hn::StoreMaskBits(d, ended, endedBytes);
    uint64_t endedBits = 0;
    for (size_t byte = 0; byte < sizeof endedBytes; ++byte)
        endedBits |= uint64_t(endedBytes[byte]) << (8 * byte);
    for (; endedBits != 0; endedBits &= endedBits - 1) {
        const auto lane = size_t(std::countr_zero(endedBits));
        if (lanes.pixel[lane] >= 0) {
            counts[lanes.pixel[lane]] = int16_t(lanes.n[lane]);
            --active;
        }
        if (feed.next(lanes.x[lane], lanes.y[lane])) {
            lanes.n[lane] = 1;
            lanes.pixel[lane] = int64_t(feed.last());
            ++active;
        } else {
            lanes.x[lane] = lanes.y[lane] = std::numeric_limits<double>::quiet_NaN();
            lanes.n[lane] = idleTest;
            lanes.pixel[lane] = -1;
        }
    }
    x = hn::Load(d, lanes.x);
    y = hn::Load(d, lanes.y);
    n = hn::Load(di, lanes.n);
}

// The counts of the run's pixels on four vectors at once: their tests are
// independent, so the processor overlaps them (each test waits for three
// operations of the one before), and a vector whose lanes are all still
// inside costs no more than its arithmetic.
void CountRun(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts)
{
    const D d;
    const DI di;
    Feed feed(lattice, begin, end);
    size_t active = 0;
    LaneStore lanes[4];
    for (LaneStore& vector : lanes)
        for (int64_t& pixel : vector.pixel)
            pixel = -1;
    // Sizeless on some targets (SVE), vectors cannot be held in an array.
    V x0 = hn::Zero(d), y0 = x0, x1 = x0, y1 = x0, x2 = x0, y2 = x0, x3 = x0, y3 = x0;
    VI n0 = hn::Zero(di), n1 = n0, n2 = n0, n3 = n0;
    const M all = hn::FirstN(d, hn::Lanes(d));
    const M none = hn::FirstN(d, 0);
    Refill(d, x0, y0, n0, all, none, lanes[0], feed, counts, active);
    Refill(d, x1, y1, n1, all, none, lanes[1], feed, counts, active);
    Refill(d, x2, y2, n2, all, none, lanes[2], feed, counts, active);
    Refill(d, x3, y3, n3, all, none, lanes[3], feed, counts, active);
    while (active > 0) {
        M escaped0, escaped1, escaped2, escaped3;
        const M ended0 = Test(d, x0, y0, n0, escaped0);
        const M ended1 = Test(d, x1, y1, n1, escaped1);
        const M ended2 = Test(d, x2, y2, n2, escaped2);
        const M ended3 = Test(d, x3, y3, n3, escaped3);
        if (HWY_LIKELY(hn::AllFalse(d, hn::Or(hn::Or(ended0, ended1), hn::Or(ended2, ended3)))))
            continue;
        if (!hn::AllFalse(d, ended0))
            Refill(d, x0, y0, n0, ended0, escaped0, lanes[0], feed, counts, active);
        if (!hn::AllFalse(d, ended1))
            Refill(d, x1, y1, n1, ended1, escaped1, lanes[1], feed, counts, active);
        if (!hn::AllFalse(d, ended2))
            Refill(d, x2, y2, n2, ended2, escaped2, lanes[2], feed, counts, active);
        if (!hn::AllFalse(d, ended3))
            Refill(d, x3, y3, n3, ended3, escaped3, lanes[3], feed, counts, active);
    }
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
HWY_EXPORT(Target);

void countRun(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts)
{
    HWY_DYNAMIC_DISPATCH(CountRun)(lattice, begin, end, counts);
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
