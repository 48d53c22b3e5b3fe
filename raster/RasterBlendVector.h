// The vector line forms of the blend arithmetic, written once over a vector
// width. RasterBlendSse2.cpp and RasterBlendAvx2.cpp include this file inside
// an anonymous namespace after defining
//   QM_VECTOR  the target attribute of every function here (empty for SSE2),
// and a traits class (V below) giving the width (V::Pixels), the integer and
// float registers (V::I, V::F), the result of a lane comparison (V::M: a
// register of all-ones lanes, or a mask register where the instruction set
// has them) and the lane operations. Everything stays
// internal to the including file, so no code built for a wider instruction
// set is ever shared with the rest of the program.
//
// Pixels are worked as 16-bit lanes in place: the blue/red pair of each pixel
// with a mask, the green/alpha pair with a shift, so a pixel's weight sits in
// both halves of its 32-bit lane ("pairs").
//
// No include guard: each vector form includes it once.

// mix(x, y, w) = ((x - y) * w + 256 * y + 128) shr 8 per channel, w in
// 0..256: exact in 16-bit lanes because the true value lies in 128..65408,
// so the wrapping multiply and the logical shift give it back unchanged.
template <class V>
QM_VECTOR inline typename V::I Mix(typename V::I F, typename V::I B, typename V::I W) {
    using I = typename V::I;
    const I lowBytes = V::Set16(0x00FF);
    const I bias = V::Set16(0x0080);
    I rb = V::MulLo16(V::Sub16(V::And(F, lowBytes), V::And(B, lowBytes)), W);
    rb = V::template Srli16<8>(V::Add16(rb, V::Or(V::template Slli16<8>(B), bias)));
    I ga = V::MulLo16(V::Sub16(V::template Srli16<8>(F), V::template Srli16<8>(B)), W);
    ga = V::AndNot(lowBytes, V::Add16(ga, V::Or(V::AndNot(lowBytes, B), bias)));
    return V::Or(rb, ga);
}

// Round(n / 255) per 16-bit lane for n in 0..65025: the quotient is never a
// tie (255 is odd), and ((n + 128) * 257) shr 16 hits it for every n (the
// tests check all of them).
template <class V> QM_VECTOR inline typename V::I Round255(typename V::I N) {
    return V::MulHiU16(V::Add16(N, V::Set16(128)), V::Set16(257));
}

// MulDiv255Table[a, x] = Round(a * x / 255) per 16-bit lane.
template <class V> QM_VECTOR inline typename V::I MulDiv255(typename V::I A, typename V::I X) {
    return Round255<V>(V::MulLo16(A, X));
}

// The composed premultiplied channel of the merge, per 16-bit lane. With
// bp = Round(ba * bc / 255), the merge adds to bp the rounded
// fa * (fc - bp) / 255 (rounded on its magnitude, which is the same: there
// are no ties), so v = Round((fa * fc + (255 - fa) * bp) / 255).
template <class V>
QM_VECTOR inline typename V::I MergeChannels(typename V::I Fc, typename V::I Bc, typename V::I Fa,
                                             typename V::I FaInverse, typename V::I Ba) {
    const typename V::I bp = MulDiv255<V>(Ba, Bc);
    return Round255<V>(V::Add16(V::MulLo16(Fa, Fc), V::MulLo16(FaInverse, bp)));
}

// 0x3000 + DivTable[ra, v] per 32-bit lane, for v <= ra (which the merge
// guarantees), Scale holding 255 / ra rounded to float. The exact quotient
// 255 * v / ra is at most 255 and is either a half or at least 1/510 away
// from one; the float product is within 4e-5 of it. Adding 12288 rounds it
// to a multiple of 1/1024, which keeps a half exact and every other value on
// its side of the half, and the conversion then rounds half to even like the
// table (the tests check every (ra, v)). Both roundings are the processor's
// default mode, which the program never changes. A fused multiply-add skips
// the rounding of the product, which only brings the sum closer, so
// MulAddF may fuse or not.
template <class V>
QM_VECTOR inline typename V::I Quotient(typename V::I Value, typename V::F Scale) {
    return V::RoundToInt(V::MulAddF(V::ToFloat(Value), Scale, V::SetF(12288.0f)));
}

// MergeReg over an opaque background: BlendReg (weight Fa, no exits), opaque.
template <class V>
QM_VECTOR inline typename V::I MergeOverOpaque(typename V::I F, typename V::I B, typename V::I Fa) {
    return V::Or(Mix<V>(F, B, Fa), V::Set32(0xFF000000u));
}

// MergeReg on a vector of pixels some of which need the full composition (a
// translucent background under a foreground that is not clear), in three
// steps that the line loop runs on three successive such vectors at once:
// the composed channels of one, the division of the one before, the
// quotients of the one before that. Each step then works on results that are
// ready, instead of waiting on the long chain of multiplies, division and
// conversions of a single vector. Special holds the pixels of the other
// classes and Other their results, put in at the end.
template <class V> struct TMergeSteps {
    typename V::I Other, RB, GA, Ra; // Ra: the composed alpha shifted by 16
    typename V::F Scale;
    typename V::M Special;
};

// The composed premultiplied channels and alpha, and the other classes'
// results, in MergeReg's order: a clear F gives B, then an opaque B the
// blend, then a clear B gives F.
template <class V>
QM_VECTOR inline TMergeSteps<V> MergeCompose(typename V::I F, typename V::I B, typename V::I Fa,
                                             typename V::I Ba, typename V::M FClear,
                                             typename V::M BOpaque) {
    using I = typename V::I;
    TMergeSteps<V> s;
    const typename V::M bClear = V::CmpEq32(Ba, V::Set32(0));
    I other = V::Select(bClear, F, B);
    if (V::AnySet(BOpaque)) other = V::Select(BOpaque, MergeOverOpaque<V>(F, B, Fa), other);
    s.Other = V::Select(FClear, B, other);
    s.Special = V::MaskOr(V::MaskOr(FClear, bClear), BOpaque);
    const I lowBytes = V::Set16(0x00FF);
    const I faInverse = V::Sub16(lowBytes, Fa);
    s.RB = MergeChannels<V>(V::And(F, lowBytes), V::And(B, lowBytes), Fa, faInverse, Ba);
    // Green, and in the alpha lanes fa and ba composed as channels under
    // alphas of 255: Round((255 * fa + (255 - fa) * ba) / 255) is
    // fa + ba - Round(fa * ba / 255), the composed alpha, in 1..255 where
    // the composition is used.
    const I high = V::Set32(0x00FF0000);
    s.GA = MergeChannels<V>(V::template Srli16<8>(F), V::template Srli16<8>(B), V::Or(Fa, high),
                            faInverse, V::Or(Ba, high));
    return s;
}

// ra * 65536 and 255 * 65536 are exact in float, so their quotient is
// 255 / ra correctly rounded.
template <class V> QM_VECTOR inline void MergeDivide(TMergeSteps<V>& S) {
    S.Ra = V::And(S.GA, V::Set32(0xFFFF0000u));
    S.Scale = V::DivF(V::SetF(255.0f * 65536.0f), V::ToFloat(S.Ra));
}

template <class V> QM_VECTOR inline typename V::I MergeFinish(const TMergeSteps<V>& S) {
    using I = typename V::I;
    const I low = V::Set32(0x0000FFFF);
    const I qB = Quotient<V>(V::And(S.RB, low), S.Scale);
    const I qG = Quotient<V>(V::And(S.GA, low), S.Scale);
    const I qR = Quotient<V>(V::template Srli32<16>(S.RB), S.Scale);
    // Each quotient is 0x3000 + its byte: shifted into place, the constant
    // parts cancel by exclusive or against 0x30303000.
    const I r = V::Xor3(V::Xor3(qB, V::template Slli32<8>(qG), V::template Slli32<16>(qR)),
                        V::template Slli32<8>(S.Ra), V::Set32(0x30303000));
    return V::Select(S.Special, S.Other, r);
}

template <class V>
QM_VECTOR inline void CombineLineV(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    const typename V::I w = V::Set16(short(W));
    int i = 0;
    for (; i + V::Pixels <= Count; i += V::Pixels)
        V::Store(Dst + i, Mix<V>(V::Load(Src + i), V::Load(Dst + i), w));
    BlendPortable::CombineLine(Src + i, Dst + i, Count - i, W);
}

template <class V> QM_VECTOR inline void BlendLineV(const TColor32* Src, TColor32* Dst, int Count) {
    using I = typename V::I;
    const I alphaMask = V::Set32(0xFF000000u);
    const I ff = V::Set16(255);
    int i = 0;
    for (; i + V::Pixels <= Count; i += V::Pixels) {
        const I f = V::Load(Src + i);
        const I alpha = V::And(f, alphaMask);
        if (V::AllSet(V::CmpEq32(alpha, alphaMask))) {
            V::Store(Dst + i, f);
            continue;
        }
        if (V::AllSet(V::CmpEq32(alpha, V::Set32(0)))) continue;
        // An opaque pixel takes weight 256, which copies it exactly; a clear
        // one has weight 0, which keeps the background exactly.
        I w = V::AlphaPairs(f);
        w = V::Sub16(w, V::CmpEq16(w, ff));
        V::Store(Dst + i, Mix<V>(f, V::Load(Dst + i), w));
    }
    BlendPortable::BlendLine(Src + i, Dst + i, Count - i);
}

template <class V>
QM_VECTOR inline void BlendLineExV(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    using I = typename V::I;
    const I alphaMask = V::Set32(0xFF000000u);
    const I m = V::Set16(short(M));
    const I one = V::Set16(1);
    int i = 0;
    for (; i + V::Pixels <= Count; i += V::Pixels) {
        const I f = V::Load(Src + i);
        if (V::AllSet(V::CmpEq32(V::And(f, alphaMask), V::Set32(0)))) continue;
        // (Fa + 1) * M <= 65280 fits a 16-bit lane; a zero weight leaves the
        // background exactly.
        const I w = V::template Srli16<8>(V::MulLo16(V::Add16(V::AlphaPairs(f), one), m));
        V::Store(Dst + i, Mix<V>(f, V::Load(Dst + i), w));
    }
    BlendPortable::BlendLineEx(Src + i, Dst + i, Count - i, M);
}

// MergeLine, or MergeLineEx with Master set (M in 1..255). A vector that is
// all clear foreground or all over an opaque background is done at once.
// Any other goes through the three steps of TMergeSteps, the first now, the
// second with the next such vector and the third (and its store) with the
// one after; the last ones are finished after the loop. A vector is read
// before anything is stored to it, so Src may be Dst.
template <class V, bool Master>
QM_VECTOR inline void MergeLineV(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    using I = typename V::I;
    using Mask = typename V::M;
    const I m = V::Set16(short(M));
    const I colour = V::Set32(0x00FFFFFFu);
    const I zero = V::Set32(0), opaque = V::Set32(0x00FF00FF);
    TMergeSteps<V> composed{}, divided{};
    TColor32* composedAt = nullptr;
    TColor32* dividedAt = nullptr;
    int i = 0;
    for (; i + V::Pixels <= Count; i += V::Pixels) {
        I f = V::Load(Src + i);
        // MergeRegEx: Fa becomes Round(M * Fa / 255).
        if (Master)
            f = V::Or(V::And(f, colour), V::template Slli32<24>(MulDiv255<V>(m, V::AlphaPairs(f))));
        const I fa = V::AlphaPairs(f);
        const Mask fClear = V::CmpEq32(fa, zero);
        if (V::AllSet(fClear)) continue;
        const I b = V::Load(Dst + i);
        const I ba = V::AlphaPairs(b);
        const Mask bOpaque = V::CmpEq32(ba, opaque);
        if (V::AllSet(bOpaque)) {
            V::Store(Dst + i, V::Select(fClear, b, MergeOverOpaque<V>(f, b, fa)));
            continue;
        }
        const TMergeSteps<V> next = MergeCompose<V>(f, b, fa, ba, fClear, bOpaque);
        if (dividedAt) V::Store(dividedAt, MergeFinish<V>(divided));
        divided = composed;
        dividedAt = composedAt;
        MergeDivide<V>(divided);
        composed = next;
        composedAt = Dst + i;
    }
    if (dividedAt) V::Store(dividedAt, MergeFinish<V>(divided));
    if (composedAt) {
        MergeDivide<V>(composed);
        V::Store(composedAt, MergeFinish<V>(composed));
    }
    if (Master)
        BlendPortable::MergeLineEx(Src + i, Dst + i, Count - i, M);
    else
        BlendPortable::MergeLine(Src + i, Dst + i, Count - i);
}

// The line routines as the program calls them (counts, weights and master
// alphas checked as the portable forms do), and the form that holds them.
template <class V>
QM_VECTOR void CombineLineForm(const TColor32* Src, TColor32* Dst, int Count, Cardinal W) {
    if (Count <= 0) return;
    W = BlendDetail::Limit255(W);
    if (W == 0 || W == 255)
        BlendPortable::CombineLine(Src, Dst, Count, W);
    else
        CombineLineV<V>(Src, Dst, Count, W);
}
template <class V> QM_VECTOR void BlendLineForm(const TColor32* Src, TColor32* Dst, int Count) {
    if (Count > 0) BlendLineV<V>(Src, Dst, Count);
}
template <class V>
QM_VECTOR void BlendLineExForm(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    M = BlendDetail::Limit255(M);
    if (Count > 0 && M != 0) BlendLineExV<V>(Src, Dst, Count, M);
}
template <class V> QM_VECTOR void MergeLineForm(const TColor32* Src, TColor32* Dst, int Count) {
    if (Count > 0) MergeLineV<V, false>(Src, Dst, Count, 255);
}
template <class V>
QM_VECTOR void MergeLineExForm(const TColor32* Src, TColor32* Dst, int Count, Cardinal M) {
    M = BlendDetail::Limit255(M);
    if (Count > 0 && M != 0) MergeLineV<V, true>(Src, Dst, Count, M);
}
template <class V> constexpr TBlendLineForm VectorLineForm(bool (*Available)()) {
    return {Available,          CombineLineForm<V>, BlendLineForm<V>,
            BlendLineExForm<V>, MergeLineForm<V>,   MergeLineExForm<V>};
}
