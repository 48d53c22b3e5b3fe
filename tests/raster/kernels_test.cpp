#include "raster/RasterKernels.h"
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterModule.h"
#include "raster/RasterResamplers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

class Kernels : public testing::Test {
protected:
    static void SetUpTestSuite() { InitRasterModules(); }
};

std::vector<std::unique_ptr<TCustomKernel>> AllKernels() {
    std::vector<std::unique_ptr<TCustomKernel>> r;
    for (int i = 0; i < KernelList()->Count(); ++i)
        r.emplace_back(static_cast<const TKernelClass*>(KernelList()->Get(i))->Create());
    return r;
}

// Counts the change notices a resampler-like observer receives.
class TCountingObserver : public TNotifiablePersistent {
public:
    void Changed() override { ++Count; }
    int Count = 0;
};

} // namespace

TEST_F(Kernels, RegisteredInOrderAndFoundByExactName) {
    const std::vector<std::string> expected = {
        "TBoxKernel",      "TLinearKernel",  "TCosineKernel",   "TSplineKernel",   "TCubicKernel",
        "TMitchellKernel", "TLanczosKernel", "TGaussianKernel", "TBlackmanKernel", "THannKernel",
        "THammingKernel",  "TSinshKernel",   "THermiteKernel"};
    ASSERT_EQ(KernelList()->Count(), int(expected.size()));
    for (int i = 0; i < int(expected.size()); ++i) {
        EXPECT_EQ(KernelList()->Get(i)->ClassName, expected[i]);
        std::unique_ptr<TCustomKernel> k(FindKernelClass(expected[i])->Create());
        EXPECT_EQ(k->ClassName(), expected[i]);
    }
    EXPECT_EQ(FindKernelClass("tboxkernel"), nullptr);
    EXPECT_EQ(FindKernelClass("TWindowedSincKernel"), nullptr);

    ASSERT_NE(FindResamplerClass("TLinearResampler"), nullptr);
    ASSERT_NE(FindResamplerClass("TDraftResampler"), nullptr);
    ASSERT_NE(FindResamplerClass("TKernelResampler"), nullptr);
    EXPECT_EQ(FindResamplerClass("TDraftresampler"), nullptr);
    EXPECT_EQ(ResamplerList()->Get(1)->ClassName, std::string("TLinearResampler"));
    EXPECT_EQ(ResamplerList()->Get(3)->ClassName, std::string("TKernelResampler"));
}

TEST_F(Kernels, WindowsAndEdges) {
    // The box includes both edges of its half-pixel window.
    TBoxKernel box;
    EXPECT_EQ(box.Filter(0.5f), 1);
    EXPECT_EQ(box.Filter(-0.5f), 1);
    EXPECT_EQ(box.Filter(0.51f), 0);
    EXPECT_FALSE(box.RangeCheck());
    TCubicKernel cubic;
    EXPECT_NEAR(cubic.Filter(1.5f), -0.0625, 1e-6);
    EXPECT_TRUE(cubic.RangeCheck());

    // Windowed sincs: SinC times the window, nothing from Width on.
    TLanczosKernel lanczos;
    EXPECT_EQ(lanczos.GetWidth(), 3);
    EXPECT_NEAR(lanczos.Filter(0), 1, 1e-6);
    EXPECT_NEAR(lanczos.Filter(2), 0, 1e-6);
    EXPECT_NEAR(lanczos.Filter(0.5f), SinC(0.5f) * SinC(0.5f / 3), 1e-6);
    EXPECT_EQ(lanczos.Filter(3), 0);
    TGaussianKernel gauss;
    EXPECT_NEAR(gauss.Filter(1.5f), SinC(1.5f) * std::exp2(-2.25 / 1.33), 1e-6);
    THannKernel hann;
    EXPECT_NEAR(hann.Filter(1.5f), SinC(1.5f) * 0.5, 1e-6); // cos(pi / 2) = 0
    THammingKernel hamming;
    EXPECT_NEAR(hamming.Filter(1.5f), SinC(1.5f) * 0.54, 1e-6);
    TBlackmanKernel blackman;
    EXPECT_NEAR(blackman.Filter(1.5f), SinC(1.5f) * (0.42 - 0.08), 1e-6);

    TSinshKernel sinsh;
    EXPECT_EQ(sinsh.Filter(0), 1);
    const double pi = 3.14159265358979;
    EXPECT_NEAR(sinsh.Filter(0.5f), std::sin(pi * 0.5) * 0.5 / std::sinh(pi * 0.25), 1e-5);
}

TEST_F(Kernels, InterpolatingKernelsFormAPartitionOfUnity) {
    // Sum over the integer shifts of an interpolating or approximating
    // kernel is 1 at any fraction: a typo in one branch breaks it.
    TLinearKernel lin;
    TCubicKernel cubic;
    THermiteKernel hermite;
    TSplineKernel spline;
    TMitchellKernel mitchell;
    TCosineKernel cosk;
    const TCustomKernel* kernels[] = {&lin, &cubic, &hermite, &spline, &mitchell, &cosk};
    for (const TCustomKernel* k : kernels)
        for (float f : {0.0f, 0.1f, 0.3f, 0.5f, 0.77f}) {
            double sum = 0;
            for (int j = -3; j <= 3; ++j)
                sum += k->Filter(TFloat(j) + f);
            EXPECT_NEAR(sum, 1.0, 1e-5) << k->ClassName() << " at " << f;
        }
}

TEST_F(Kernels, SettersNotifyTheObserverAndRefuseDegenerateValues) {
    TCountingObserver obs;
    TGaussianKernel gauss;
    gauss.SetObserver(&obs);
    gauss.SetSigma(2);
    EXPECT_EQ(gauss.Sigma(), 2);
    EXPECT_EQ(obs.Count, 1);
    gauss.SetSigma(2);
    EXPECT_EQ(obs.Count, 1);
    gauss.SetSigma(0); // the window divides by Sigma
    EXPECT_EQ(gauss.Sigma(), 2);
    gauss.SetSigma(NAN);
    EXPECT_EQ(gauss.Sigma(), 2);
    EXPECT_EQ(obs.Count, 1);
    EXPECT_TRUE(std::isfinite(gauss.Filter(0.5f)));

    TSinshKernel sinsh;
    sinsh.SetObserver(&obs);
    sinsh.SetCoeff(0);
    EXPECT_EQ(sinsh.Coeff(), 0.5f);
    sinsh.SetCoeff(0.75f);
    EXPECT_EQ(sinsh.Coeff(), 0.75f);
    EXPECT_EQ(obs.Count, 2);
    sinsh.SetCoeff(1);
    EXPECT_EQ(sinsh.Coeff(), 1);

    TLanczosKernel lanczos;
    lanczos.SetObserver(&obs);
    for (float bad : {0.0f, -2.0f, INFINITY, 1e9f})
        lanczos.SetWidth(bad);
    EXPECT_EQ(lanczos.GetWidth(), 3);
    lanczos.SetWidth(2);
    EXPECT_EQ(lanczos.GetWidth(), 2);
    EXPECT_EQ(lanczos.Filter(2.5f), 0);

    TCubicKernel cubic;
    cubic.SetObserver(&obs);
    const int before = obs.Count;
    cubic.SetCoeff(0); // a valid cubic: no lobes
    EXPECT_EQ(cubic.Coeff(), 0);
    EXPECT_EQ(obs.Count, before + 1);

    THermiteKernel hermite;
    hermite.SetObserver(&obs);
    hermite.SetTension(0.5f);
    hermite.SetBias(-0.25f);
    EXPECT_EQ(obs.Count, before + 3);
    // Assign copies the parameters of the same class.
    THermiteKernel copy;
    copy.Assign(&hermite);
    EXPECT_EQ(copy.Tension(), 0.5f);
    EXPECT_EQ(copy.Bias(), -0.25f);
}

TEST_F(Kernels, EveryRegisteredKernelIsFiniteAndZeroBeyondItsWidth) {
    for (const auto& k : AllKernels()) {
        // The sinsh filter has no cut-off of its own; only its window is wide.
        const bool cut = std::string(k->ClassName()) != "TSinshKernel";
        const float w = k->GetWidth();
        ASSERT_GT(w, 0) << k->ClassName();
        for (float x = -w - 2; x <= w + 2; x += 0.125f) {
            const float v = k->Filter(x);
            ASSERT_TRUE(std::isfinite(v)) << k->ClassName() << " at " << x;
            if (cut && std::fabs(x) > w + 0.01f) {
                EXPECT_EQ(v, 0) << k->ClassName() << " at " << x;
            }
        }
        EXPECT_TRUE(std::isfinite(k->Filter(1e30f))) << k->ClassName();
    }
}
