// Scaling of a window's picture: whole factors as blocks, other factors
// through two-tap tables, rows mixed first and spread across once.
#include "picture_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DW_HAVE_SHUFFLE_PATH 1
static const t_ScaleInstructions supported = __builtin_cpu_supports("avx2")    ? t_ScaleInstructions::Avx2
                                             : __builtin_cpu_supports("ssse3") ? t_ScaleInstructions::Ssse3
                                                                               : t_ScaleInstructions::Plain;
#else
static const t_ScaleInstructions supported = t_ScaleInstructions::Plain;
#endif
static t_ScaleInstructions used = supported;

t_ScaleInstructions t_LimitScaleInstructions(t_ScaleInstructions widest) {
    used = std::min(widest, supported);
    return used;
}

int t_WholeFactor(int width, int height, int targetWidth, int targetHeight) {
    if (width <= 0 || height <= 0 || targetWidth % width != 0) return 0;
    int k = targetWidth / width;
    return k >= 1 && targetHeight == k * height ? k : 0;
}

// ---------------------------------------------------------------- tables

// A pixel's two shares add up to this: seven bits, so that a share and a
// channel multiply within one signed byte pair (pmaddubsw) and the sum of
// two products within 16 bits.
static const int whole = 128;

// The two source pixels and the weight of the second for every target pixel
// of one direction.  Enlarging, a target pixel covers at most two source
// pixels and takes the share it covers of each.  Shrinking, it mixes the two
// source pixels nearest its centre.
static std::vector<t_PictureScaler::Tap> taps(int source, int target) {
    std::vector<t_PictureScaler::Tap> t(static_cast<size_t>(target));
    double scale = double(target) / source;
    for (int x = 0; x < target; x++) {
        int index;
        double share;
        if (scale >= 1) {
            index = int(x / scale);
            share = std::max(0.0, (x + 1) / scale - (index + 1)) * scale;
        } else {
            double centre = std::max(0.0, (x + 0.5) / scale - 0.5);
            index = int(centre);
            share = centre - index;
        }
        int weight = int(std::lround(std::min(share, 1.0) * whole));
        if (index >= source - 1) {
            index = source - 1;
            weight = 0;
        }
        if (weight == whole) {
            index++;
            weight = 0;
        }
        t[size_t(x)] = {index, weight};
    }
    return t;
}

// The column map as groups of eight for the shuffle path.  A pair of columns
// is shuffled from the four pixels at its base, so a group is taken while
// each of its columns and right neighbours lie within those four and inside
// the row (up to the last few columns, at any scale of one half or more);
// the columns after the last group taken are mixed one by one.  A column
// that copies one pixel takes it twice at half share, as a signed byte
// cannot hold the whole share.
static void buildGroups(t_PictureScaler &s) {
    static const int slotOfPair[4] = {0, 2, 1, 3};
    const std::vector<t_PictureScaler::Tap> &c = s.Columns;
    s.Groups.clear();
    for (size_t x = 0; x + 8 <= c.size(); x += 8) {
        t_PictureScaler::Group group{};
        bool fits = true;
        for (int pair = 0; pair < 4; pair++) {
            const int slot = slotOfPair[pair], base = c[x + size_t(2 * pair)].Index;
            group.Base[slot] = base;
            for (int column = 0; column < 2; column++) {
                const t_PictureScaler::Tap t = c[x + size_t(2 * pair + column)];
                const int first = t.Index - base, second = first + (t.Weight != 0);
                if (second > 3 || base + 3 >= s.SourceWidth) fits = false;
                for (int channel = 0; channel < 4; channel++) {
                    const int at = 8 * column + 2 * channel;
                    group.Order[slot][at] = uint8_t(4 * first + channel);
                    group.Order[slot][at + 1] = uint8_t(4 * second + channel);
                    group.Shares[slot][at] = int8_t(t.Weight != 0 ? whole - t.Weight : whole / 2);
                    group.Shares[slot][at + 1] = int8_t(t.Weight != 0 ? t.Weight : whole / 2);
                }
            }
        }
        if (!fits) break;
        s.Groups.push_back(group);
    }
}

static void prepare(t_PictureScaler &s, int width, int height, int targetWidth, int targetHeight) {
    if (s.SourceWidth == width && s.SourceHeight == height && s.TargetWidth == targetWidth &&
        s.TargetHeight == targetHeight)
        return;
    s.SourceWidth = width;
    s.SourceHeight = height;
    s.TargetWidth = targetWidth;
    s.TargetHeight = targetHeight;
    s.Columns = taps(width, targetWidth);
    s.Rows = taps(height, targetHeight);
    buildGroups(s);
    s.Mixed.assign(size_t(width), 0);
}

// ---------------------------------------------------------------- pixels

// a and b mixed, b weighing weight/128; channel pairs are multiplied in one
// word each (red and blue, then alpha and green), which cannot overflow
// because the weights add up to 128.  The shuffle path computes the same.
static inline uint32_t mix(uint32_t a, uint32_t b, uint32_t weight) {
    if (a == b) return a;
    uint32_t keep = whole - weight;
    uint32_t rb = (((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 7) & 0xFF00FF;
    uint32_t ag = ((((a >> 8) & 0xFF00FF) * keep + ((b >> 8) & 0xFF00FF) * weight) << 1) & 0xFF00FF00;
    return ag | rb;
}

#ifdef DW_HAVE_SHUFFLE_PATH
// Channels interleaved with their partners (a0 b0 a1 b1 ...) times their
// shares, summed in pairs, back to bytes: two pixels a register half.
__attribute__((target("ssse3"))) static inline __m128i weigh(__m128i low, __m128i high, __m128i sharesLow,
                                                             __m128i sharesHigh) {
    return _mm_packus_epi16(_mm_srli_epi16(_mm_maddubs_epi16(low, sharesLow), 7),
                            _mm_srli_epi16(_mm_maddubs_epi16(high, sharesHigh), 7));
}
__attribute__((target("avx2"))) static inline __m256i weigh(__m256i low, __m256i high, __m256i sharesLow,
                                                            __m256i sharesHigh) {
    return _mm256_packus_epi16(_mm256_srli_epi16(_mm256_maddubs_epi16(low, sharesLow), 7),
                               _mm256_srli_epi16(_mm256_maddubs_epi16(high, sharesHigh), 7));
}

static inline __m128i load(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }

// The grouped columns of one row, four at a time.
__attribute__((target("ssse3"))) static void shuffleColumns(const t_PictureScaler &s, const uint32_t *row,
                                                            uint32_t *out) {
    for (const t_PictureScaler::Group &g : s.Groups) {
        for (int half = 0; half < 2; half++, out += 4) {
            __m128i low = _mm_shuffle_epi8(load(row + g.Base[half]), load(g.Order[half]));
            __m128i high = _mm_shuffle_epi8(load(row + g.Base[half + 2]), load(g.Order[half + 2]));
            __m128i mixed = weigh(low, high, load(g.Shares[half]), load(g.Shares[half + 2]));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), mixed);
        }
    }
}

// The same eight at a time.
__attribute__((target("avx2"))) static void shuffleColumnsWide(const t_PictureScaler &s, const uint32_t *row,
                                                               uint32_t *out) {
    for (const t_PictureScaler::Group &g : s.Groups) {
        const auto *order = reinterpret_cast<const __m256i *>(g.Order);
        const auto *shares = reinterpret_cast<const __m256i *>(g.Shares);
        __m256i low = _mm256_loadu2_m128i(reinterpret_cast<const __m128i *>(row + g.Base[1]),
                                          reinterpret_cast<const __m128i *>(row + g.Base[0]));
        __m256i high = _mm256_loadu2_m128i(reinterpret_cast<const __m128i *>(row + g.Base[3]),
                                           reinterpret_cast<const __m128i *>(row + g.Base[2]));
        __m256i mixed = weigh(_mm256_shuffle_epi8(low, _mm256_load_si256(order)),
                              _mm256_shuffle_epi8(high, _mm256_load_si256(order + 1)), _mm256_load_si256(shares),
                              _mm256_load_si256(shares + 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), mixed);
        out += 8;
    }
}

// Two rows mixed four pixels at a time; runs where they agree are copied.
__attribute__((target("ssse3"))) static int shuffleRows(const uint32_t *a, const uint32_t *b, int weight,
                                                        uint32_t *target, int width) {
    const __m128i shares = _mm_set1_epi16(short((weight << 8) | (whole - weight)));
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        __m128i va = load(a + x), vb = load(b + x);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(va, vb)) != 0xFFFF)
            va = weigh(_mm_unpacklo_epi8(va, vb), _mm_unpackhi_epi8(va, vb), shares, shares);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x), va);
    }
    return x;
}

// The same eight at a time.
__attribute__((target("avx2"))) static int shuffleRowsWide(const uint32_t *a, const uint32_t *b, int weight,
                                                           uint32_t *target, int width) {
    const __m256i shares = _mm256_set1_epi16(short((weight << 8) | (whole - weight)));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a + x));
        __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + x));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(va, vb)) != -1)
            va = weigh(_mm256_unpacklo_epi8(va, vb), _mm256_unpackhi_epi8(va, vb), shares, shares);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(target + x), va);
    }
    return x;
}
#endif

// One row of source pixels spread across one target row.
static void spreadRow(const t_PictureScaler &s, const uint32_t *row, uint32_t *out) {
    size_t x = 0;
#ifdef DW_HAVE_SHUFFLE_PATH
    if (used != t_ScaleInstructions::Plain) {
        (used == t_ScaleInstructions::Avx2 ? shuffleColumnsWide : shuffleColumns)(s, row, out);
        x = 8 * s.Groups.size();
    }
#endif
    for (const size_t width = s.Columns.size(); x < width; x++) {
        t_PictureScaler::Tap t = s.Columns[x];
        out[x] = t.Weight == 0 ? row[t.Index] : mix(row[t.Index], row[t.Index + 1], uint32_t(t.Weight));
    }
}

// Two rows mixed, the second weighing weight/128.
static void mixRows(const uint32_t *a, const uint32_t *b, int weight, uint32_t *target, int width) {
    int x = 0;
#ifdef DW_HAVE_SHUFFLE_PATH
    if (used == t_ScaleInstructions::Avx2) x = shuffleRowsWide(a, b, weight, target, width);
    else if (used == t_ScaleInstructions::Ssse3) x = shuffleRows(a, b, weight, target, width);
#endif
    for (; x < width; x++) target[x] = mix(a[x], b[x], uint32_t(weight));
}

// Every source pixel becomes a k x k block: each row is widened once and
// then copied to the k - 1 rows below it.  rowOf(y) gives source row y.
template <class RowOf>
static void scaleWhole(RowOf rowOf, int width, int height, int k, uint32_t *target, int targetStride) {
    const size_t rowBytes = size_t(width) * size_t(k) * 4;
    for (int y = 0; y < height; y++) {
        const uint32_t *in = rowOf(y, -1);
        if (!in) return;
        uint32_t *out = target + size_t(y) * size_t(k) * size_t(targetStride);
        int x = 0;
        if (k == 1) {
            memcpy(out, in, rowBytes);
        } else if (k == 2) {
#ifdef DW_HAVE_SHUFFLE_PATH
            for (; x + 4 <= width; x += 4) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + x));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * x), _mm_unpacklo_epi32(v, v));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * x + 4), _mm_unpackhi_epi32(v, v));
            }
#endif
            for (; x < width; x++) out[2 * x] = out[2 * x + 1] = in[x];
        } else {
            for (; x < width; x++) std::fill_n(out + size_t(x) * size_t(k), k, in[x]);
        }
        for (int j = 1; j < k; j++) memcpy(out + size_t(j) * size_t(targetStride), out, rowBytes);
    }
}

// The picture scaled into the target, row by row from the top.  rowOf(y,
// keep) gives source row y while row keep stays readable too.
template <class RowOf>
static void scale(t_PictureScaler &s, RowOf rowOf, int width, int height, uint32_t *target, int targetWidth,
                  int targetHeight, int targetStride) {
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (int k = t_WholeFactor(width, height, targetWidth, targetHeight)) {
        scaleWhole(rowOf, width, height, k, target, targetStride);
        return;
    }
    prepare(s, width, height, targetWidth, targetHeight);
    const size_t rowBytes = size_t(targetWidth) * 4;
    for (int y = 0; y < targetHeight; y++) {
        const t_PictureScaler::Tap t = s.Rows[size_t(y)];
        uint32_t *out = target + size_t(y) * size_t(targetStride);
        // A row made of the same source rows as the one above is a copy of it.
        if (y > 0 && t.Index == s.Rows[size_t(y) - 1].Index && t.Weight == s.Rows[size_t(y) - 1].Weight) {
            memcpy(out, out - targetStride, rowBytes);
            continue;
        }
        const uint32_t *row = rowOf(t.Index, t.Weight != 0 ? t.Index + 1 : -1);
        if (!row) return;
        if (t.Weight != 0) {
            const uint32_t *next = rowOf(t.Index + 1, t.Index);
            if (!next) return;
            mixRows(row, next, t.Weight, s.Mixed.data(), width);
            row = s.Mixed.data();
        }
        spreadRow(s, row, out);
    }
}

void t_ScalePicture(t_PictureScaler &s, const uint32_t *source, int width, int height, int sourceStride,
                    uint32_t *target, int targetWidth, int targetHeight, int targetStride) {
    auto rowOf = [&](int y, int) { return source + size_t(y) * size_t(sourceStride); };
    scale(s, rowOf, width, height, target, targetWidth, targetHeight, targetStride);
}

bool t_ScalePictureRows(t_PictureScaler &s, const t_PictureRows &rows, int width, int height, uint32_t *target,
                        int targetWidth, int targetHeight, int targetStride) {
    // Two rows are kept; a new one replaces the one not asked to stay.
    for (int i = 0; i < 2; i++) {
        s.Kept[i].resize(size_t(std::max(width, 0)));
        s.KeptRow[i] = -1;
    }
    bool failed = false;
    auto rowOf = [&](int y, int keep) -> const uint32_t * {
        for (int i = 0; i < 2; i++)
            if (s.KeptRow[i] == y) return s.Kept[i].data();
        const int i = s.KeptRow[0] == keep ? 1 : 0;
        if (!rows.Fill(rows.Context, y, s.Kept[i].data())) {
            failed = true;
            return nullptr;
        }
        s.KeptRow[i] = y;
        return s.Kept[i].data();
    };
    scale(s, rowOf, width, height, target, targetWidth, targetHeight, targetStride);
    return !failed;
}
