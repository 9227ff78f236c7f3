// Fitting and scaling of a toolkit window's picture.
#include "view_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// A scale this close above a whole number of device pixels is drawn sharp.
static const double wholeSnap = 0.02;
// Rounding slack when a zoom is compared with a whole number.
static const double epsilon = 1e-6;

t_PictureRect t_FitPicture(const t_PictureGeometry &p, int areaWidth, int areaHeight, double dpr, bool withBorder) {
    if (dpr <= 0) dpr = 1;
    double unitWidth = p.Width + (withBorder ? 2 * p.BorderWidth : 0);
    double unitHeight = p.Height + (withBorder ? 2 * p.BorderHeight : 0);
    if (p.Width <= 0 || p.Height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {withBorder ? p.BorderWidth : 0, withBorder ? p.BorderHeight : 0, std::max(p.Width, 1),
                std::max(p.Height, 1)};
    // Device pixels per picture pixel.
    double factor = std::min(areaWidth * dpr / unitWidth, areaHeight * dpr / unitHeight);
    double whole = std::floor(factor + epsilon);
    if (whole >= 1 && factor - whole <= wholeSnap * whole) factor = whole;
    int width = std::max(1, int(std::lround(p.Width * factor / dpr)));
    int height = std::max(1, int(std::lround(p.Height * factor / dpr)));
    width = std::min(width, areaWidth);
    height = std::min(height, areaHeight);
    return {(areaWidth - width) / 2, (areaHeight - height) / 2, width, height};
}

t_PicturePixel t_PixelAt(const t_PictureRect &r, const t_PictureGeometry &p, double x, double y) {
    if (r.Width <= 0 || r.Height <= 0) return {-1, -1};
    return {int(std::floor((x - r.X) * p.Width / r.Width)), int(std::floor((y - r.Y) * p.Height / r.Height))};
}

double t_LargestZoom(int unitWidth, int unitHeight, int extraWidth, int extraHeight, int availableWidth,
                     int availableHeight) {
    if (unitWidth <= 0 || unitHeight <= 0) return 1;
    double zoom = std::min(double(availableWidth - extraWidth) / unitWidth,
                           double(availableHeight - extraHeight) / unitHeight);
    return std::max(zoom, 0.1);
}

double t_FirstZoom(double largest) { return std::min(1.0, largest); }

double t_ZoomIn(double zoom, double largest, double dpr) {
    double next = (std::floor(zoom * dpr + epsilon) + 1) / dpr;
    return next <= largest + epsilon ? next : 0;
}

double t_ZoomOut(double zoom, double dpr) {
    double next = std::ceil(zoom * dpr - epsilon) - 1;
    return next >= 1 ? next / dpr : 0;
}

int t_WholeFactor(int width, int height, int targetWidth, int targetHeight) {
    if (width <= 0 || height <= 0 || targetWidth % width != 0) return 0;
    int k = targetWidth / width;
    return k >= 1 && targetHeight == k * height ? k : 0;
}

// ---------------------------------------------------------------- scaling

// The two source pixels and the weight of the second for every target pixel
// of one direction.  Enlarging, a target pixel covers at most two source
// pixels and takes the share it covers of each: most target pixels lie
// inside one source pixel and copy it, so edges stay as sharp as the scale
// allows.  Shrinking, it mixes the two source pixels nearest its centre.
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
        int weight = int(std::lround(std::min(share, 1.0) * 256));
        if (index >= source - 1) {
            index = source - 1;
            weight = 0;
        }
        if (weight == 256) {
            index++;
            weight = 0;
        }
        t[size_t(x)] = {index, weight};
    }
    return t;
}

// a and b mixed, b weighing weight/256; channel pairs are multiplied in one
// word each (red and blue, then alpha and green), which cannot overflow
// because the weights add up to 256.
static inline uint32_t mix(uint32_t a, uint32_t b, uint32_t weight) {
    if (a == b) return a;
    uint32_t keep = 256 - weight;
    uint32_t rb = (((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 8) & 0xFF00FF;
    uint32_t ag = ((((a >> 8) & 0xFF00FF) * keep + ((b >> 8) & 0xFF00FF) * weight)) & 0xFF00FF00;
    return ag | rb;
}

static void scaleRow(const t_PictureScaler &s, const uint32_t *source, uint32_t *target) {
    const size_t width = s.Columns.size();
    size_t x = 0;
#ifdef __SSE2__
    // Four target pixels at a time: the pixels and their right neighbours
    // (the pixel itself where the weight is 0, so the last column reads
    // nothing beyond the row), mixed in 16-bit lanes.
    const __m128i zero = _mm_setzero_si128(), whole = _mm_set1_epi16(256);
    const t_PictureScaler::Tap *c = s.Columns.data();
    for (; x + 4 <= width; x += 4) {
        __m128i a = _mm_set_epi32(int(source[c[x + 3].Index]), int(source[c[x + 2].Index]),
                                  int(source[c[x + 1].Index]), int(source[c[x].Index]));
        __m128i b = _mm_set_epi32(int(source[c[x + 3].Index + (c[x + 3].Weight != 0)]),
                                  int(source[c[x + 2].Index + (c[x + 2].Weight != 0)]),
                                  int(source[c[x + 1].Index + (c[x + 1].Weight != 0)]),
                                  int(source[c[x].Index + (c[x].Weight != 0)]));
        __m128i takeLo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.ColumnWeights.data() + 4 * x));
        __m128i takeHi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.ColumnWeights.data() + 4 * x + 8));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), _mm_sub_epi16(whole, takeLo)),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), takeLo));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), _mm_sub_epi16(whole, takeHi)),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), takeHi));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; x < width; x++) {
        t_PictureScaler::Tap t = s.Columns[x];
        target[x] = t.Weight == 0 ? source[t.Index] : mix(source[t.Index], source[t.Index + 1], uint32_t(t.Weight));
    }
}

// Two rows mixed, the second weighing weight/256; runs where they agree are
// copied.
static void mixRows(const uint32_t *a, const uint32_t *b, int weight, uint32_t *target, int width) {
    int x = 0;
#ifdef __SSE2__
    const __m128i keep = _mm_set1_epi16(short(256 - weight)), take = _mm_set1_epi16(short(weight));
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= width; x += 4) {
        __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + x));
        __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(va, vb)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x), va);
            continue;
        }
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), keep),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), take));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), keep),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), take));
        __m128i mixed = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x), mixed);
    }
#endif
    for (; x < width; x++) target[x] = mix(a[x], b[x], uint32_t(weight));
}

// Every source pixel becomes a k x k block: each row is widened once and
// then copied to the k - 1 rows below it.
static void scaleWhole(const uint32_t *source, int width, int height, int sourceStride, int k, uint32_t *target,
                       int targetStride) {
    const size_t rowBytes = size_t(width) * size_t(k) * 4;
    for (int y = 0; y < height; y++) {
        const uint32_t *in = source + size_t(y) * size_t(sourceStride);
        uint32_t *out = target + size_t(y) * size_t(k) * size_t(targetStride);
        int x = 0;
        if (k == 1) {
            memcpy(out, in, rowBytes);
        } else if (k == 2) {
#ifdef __SSE2__
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

void t_ScalePicture(t_PictureScaler &s, const uint32_t *source, int width, int height, int sourceStride,
                    uint32_t *target, int targetWidth, int targetHeight, int targetStride) {
    if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
    if (int k = t_WholeFactor(width, height, targetWidth, targetHeight)) {
        scaleWhole(source, width, height, sourceStride, k, target, targetStride);
        return;
    }
    if (s.SourceWidth != width || s.SourceHeight != height || s.TargetWidth != targetWidth ||
        s.TargetHeight != targetHeight) {
        s.SourceWidth = width;
        s.SourceHeight = height;
        s.TargetWidth = targetWidth;
        s.TargetHeight = targetHeight;
        s.Columns = taps(width, targetWidth);
        s.Rows = taps(height, targetHeight);
        s.ColumnWeights.clear();
        for (const t_PictureScaler::Tap &t : s.Columns) s.ColumnWeights.insert(s.ColumnWeights.end(), 4, uint16_t(t.Weight));
        s.Upper.assign(size_t(targetWidth), 0);
        s.Lower.assign(size_t(targetWidth), 0);
    }
    // The rows kept from the last call belong to another picture.
    s.UpperRow = s.LowerRow = -1;
    auto rowOf = [&](int index) -> const uint32_t * {
        if (s.UpperRow == index) return s.Upper.data();
        if (s.LowerRow == index) return s.Lower.data();
        // Target rows go down the picture: the row not needed any more is
        // the one with the lower index.
        bool upperOlder = s.UpperRow < s.LowerRow;
        std::vector<uint32_t> &row = upperOlder ? s.Upper : s.Lower;
        (upperOlder ? s.UpperRow : s.LowerRow) = index;
        scaleRow(s, source + size_t(index) * size_t(sourceStride), row.data());
        return row.data();
    };
    for (int y = 0; y < targetHeight; y++) {
        t_PictureScaler::Tap t = s.Rows[size_t(y)];
        uint32_t *out = target + size_t(y) * size_t(targetStride);
        const uint32_t *first = rowOf(t.Index);
        if (t.Weight == 0) {
            memcpy(out, first, size_t(targetWidth) * 4);
            continue;
        }
        // The second row replaces the one below the first, never the first.
        const uint32_t *second = rowOf(t.Index + 1);
        mixRows(first, second, t.Weight, out, targetWidth);
    }
}
