// The diagnostic-chart numerics against a statistics environment's figures: the smoother on
// data with many ties and with points closer than the skipping distance, with and without
// robustness iterations; plotting positions on both sides of the n = 10 switch; Q-Q positions
// with ties and the quartile reference line; the contour curves against their definition.
#include "orvex_diagplot.h"
#include "orvex_taskpool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace orvex;

namespace {

// The reference figures were printed with 17 significant digits; the results agree to about
// 1e-15 (the only difference is the order of a few sums), 1e-9 is the agreed tolerance.
void ExpectNear(const std::vector<double>& Actual, const std::vector<double>& Expected, const char* What)
{
  ASSERT_EQ(Actual.size(), Expected.size()) << What;
  for (std::size_t i = 0; i < Expected.size(); ++i)
    EXPECT_NEAR(Actual[i], Expected[i], 1e-9 * std::max(1.0, std::fabs(Expected[i]))) << What << " [" << i << "]";
}

// Set 1: x integers 0..25 with many ties, an outlier every 13th object.
//   i <- 1:60
//   x <- floor(((i*37) %% 101) / 4)
//   y <- sin(x / 3) + 0.3 * cos(7 * i) + ifelse(i %% 13 == 0, 5, 0)
//   lowess(x, y)$y        (printed with sprintf("%.17g"))
void TiesData(std::vector<double>& X, std::vector<double>& Y)
{
  for (int i = 1; i <= 60; ++i) {
    const double x = std::floor(static_cast<double>((i * 37) % 101) / 4.0);
    X.push_back(x);
    Y.push_back(std::sin(x / 3.0) + 0.3 * std::cos(7.0 * i) + (i % 13 == 0 ? 5.0 : 0.0));
  }
}

// Set 2: spread x with gaps below 1 % of the range, so that points are skipped and
// interpolated, and a low outlier every 17th object.
//   i <- 1:80
//   x <- ((i*37) %% 101) / 10 + i / 1000
//   y <- x^2 / 20 - x + 0.5 * sin(5 * i) + ifelse(i %% 17 == 0, -4, 0)
//   lowess(x, y)$y; lowess(x, y, f = 0.3, iter = 0)$y
void SpreadData(std::vector<double>& X, std::vector<double>& Y)
{
  for (int i = 1; i <= 80; ++i) {
    const double x = static_cast<double>((i * 37) % 101) / 10.0 + i / 1000.0;
    X.push_back(x);
    Y.push_back(x * x / 20.0 - x + 0.5 * std::sin(5.0 * i) + (i % 17 == 0 ? -4.0 : 0.0));
  }
}

const std::vector<double> RTiesDefault = {
    0.92034086805155157, 0.92034086805155157, 0.86428165493553621, 0.86428165493553621,
    0.79842133943670512, 0.79842133943670512, 0.72407162199893838, 0.72407162199893838,
    0.72407162199893838, 0.64343596214428034, 0.64343596214428034, 0.55864021356773685,
    0.55864021356773685, 0.55864021356773685, 0.47018120245884409, 0.47018120245884409,
    0.37369760220678799, 0.37369760220678799, 0.24991451971103723, 0.24991451971103723,
    0.068489096434361602, 0.068489096434361602, 0.068489096434361602, -0.11877331352410424,
    -0.11877331352410424, -0.11877331352410424, -0.29893445392386248, -0.29893445392386248,
    -0.44615817484876558, -0.44615817484876558, -0.53619260341789421, -0.53619260341789421,
    -0.55950168411745971, -0.55950168411745971, -0.55950168411745971, -0.52750081099848145,
    -0.52750081099848145, -0.52750081099848145, -0.45312383983120302, -0.45312383983120302,
    -0.32650561134161216, -0.32650561134161216, -0.12352497016235874, -0.12352497016235874,
    0.073015718034187188, 0.073015718034187188, 0.073015718034187188, 0.27128414985280436,
    0.27128414985280436, 0.47290557836621561, 0.47290557836621561, 0.47290557836621561,
    0.67736661978063184, 0.67736661978063184, 0.88345828786832592, 0.88345828786832592,
    1.0897746851161649, 1.0897746851161649, 1.0897746851161649, 1.2949759540419106,
};
const std::vector<double> RSpreadDefault = {
    -0.32904950275207345, -0.38297632911922119, -0.43685541739259076, -0.62194219346698132,
    -0.67556499592870034, -0.8596413251815479, -0.91294002691643872, -0.96616014276544926,
    -1.0958465667393495, -1.1488085452423531, -1.2017004109153175, -1.3833026011475986,
    -1.4359217801949347, -1.6167058881370138, -1.669116639704832, -1.7214874639304343,
    -1.8492578716747128, -1.9014928851079891, -1.9536884763130196, -2.133122263080657,
    -2.1851763170072815, -2.364317921319802, -2.4163746149102008, -2.4684571096640386,
    -2.5957327349759516, -2.6477363651922285, -2.6995177340409948, -2.8578064968561776,
    -2.9025481379925271, -2.9467553615358666, -3.0525996802983633, -3.0951268073383988,
    -3.1372323884021651, -3.2788649187349939, -3.3190911822329485, -3.454098488390323,
    -3.4921004031463654, -3.5295144807255556, -3.6181517521243758, -3.6532157557172487,
    -3.6875627425094599, -3.8005503990145431, -3.8319632966675337, -3.9360687987450591,
    -3.9653876389814249, -3.9943791746991999, -4.0638476227203926, -4.0917798489097583,
    -4.119461588605259, -4.2126417656244293, -4.238999795520952, -4.3267442898813657,
    -4.3511223021898271, -4.3749302647250019, -4.44897308156213, -4.4671069434059616,
    -4.5289522022048745, -4.5469242565450925, -4.5649199799346922, -4.6089569234110357,
    -4.6269973130912057, -4.645036634797413, -4.7070992010872086, -4.7251064315493601,
    -4.787005969373868, -4.8049524836952955, -4.8228805437554341, -4.8665730471755708,
    -4.884406446548307, -4.9022040654859405, -4.9631389773991019, -4.9807190550044123,
    -5.0407705016088693, -5.0580670719423662, -5.0752953576674793, -5.1171024904419937,
    -5.1341087254390061, -5.1510554374009931, -5.2089885687957107, -5.2257121188873903,
};
const std::vector<double> RSpreadPlain = {
    -0.10650389236036686, -0.17694358817188044, -0.24821852655354354, -0.49954748780933778,
    -0.5739576300489595, -0.83318959645757917, -0.90891855395339272, -0.98462508790326853,
    -1.1690379624061513, -1.2442364298481194, -1.3193006590127043, -1.5902842381983291,
    -1.6775589573666536, -1.9449697205766014, -2.0341742094483002, -2.0767128666448742,
    -2.2274044712139869, -2.2994960490534493, -2.3531282907420623, -2.5306882690969683,
    -2.5775284269152485, -2.7133149726743353, -2.7493454578653798, -2.7764478500298089,
    -2.8346749050464242, -2.8526064274344418, -2.8723334029295913, -3.0061992320231954,
    -3.0693184826472986, -3.1474134871954127, -3.3180447584727899, -3.3794105343932781,
    -3.4455719990245237, -3.6352062854201677, -3.6844843172052935, -3.8299561487850413,
    -3.868115883906305, -3.8849685877314699, -3.9623176038767345, -4.0179017113773634,
    -4.0206756594594806, -4.0833065566330804, -4.0906474884346, -4.1361476322154509,
    -4.1831330202195032, -4.1875859801543154, -4.2638248753994228, -4.2793868235993902,
    -4.3367556062319386, -4.5352886778154859, -4.5844675693397461, -4.6741309561063487,
    -4.6796072903638679, -4.7249360030873708, -4.8493416500477124, -4.8731448961033568,
    -4.9362345301100934, -4.9445708029169131, -4.9467977157967402, -4.952856358902145,
    -4.9526334797862015, -4.9410602834127166, -4.8750407059583187, -4.8719010091862707,
    -4.9327902380540731, -4.964649320922998, -5.0048554664208238, -5.0894029844629358,
    -5.132006850998363, -5.148904046543997, -5.1957836309759484, -5.2095155359467675,
    -5.2582339464835455, -5.2727047041244095, -5.2869906936715783, -5.3200097480325912,
    -5.3325185346354296, -5.3443458610125614, -5.3800532130800605, -5.3891831117829776,
};

}  // namespace

TEST(Lowess, MatchesReferenceWithTiesSkippedPointsAndRobustness)
{
  std::vector<double> x, y;
  TiesData(x, y);
  TLowessCurve c = Lowess(x, y);
  ExpectNear(c.Y, RTiesDefault, "ties, f = 2/3, 3 iterations");
  ASSERT_TRUE(std::is_sorted(c.X.begin(), c.X.end()));
  // Ties take the value of their fitted point.
  for (std::size_t i = 1; i < c.X.size(); ++i) {
    if (c.X[i] == c.X[i - 1]) {
      EXPECT_EQ(c.Y[i], c.Y[i - 1]);
    }
  }

  x.clear();
  y.clear();
  SpreadData(x, y);
  ExpectNear(Lowess(x, y).Y, RSpreadDefault, "spread, f = 2/3, 3 iterations");
  ExpectNear(Lowess(x, y, 0.3, 0).Y, RSpreadPlain, "spread, f = 0.3, no iteration");

  // The input order does not matter: reversed pairs give the same curve.
  std::vector<double> rx(x.rbegin(), x.rend()), ry(y.rbegin(), y.rend());
  ExpectNear(Lowess(rx, ry).Y, RSpreadDefault, "reversed input");
}

// The local fits of a pass run in blocks on the math threads: the curve of a large input with
// many ties and skipped points is the same, bit for bit, on one, two and four threads.
TEST(Lowess, SameCurveOnAnyThreadCount)
{
  std::vector<double> x, y;
  std::uint64_t state = 17;
  for (int i = 0; i < 120000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(state >> 11) * 0x1.0p-53;
    x.push_back(std::round(u * 5000.0) / 50.0);  // about 24 ties per value
    y.push_back(2.0 * x.back() + (u * 7919.0 - std::floor(u * 7919.0)) - 0.5);
  }
  std::vector<TLowessCurve> curves;
  for (int threads : {1, 2, 4}) {
    SetMathThreadCount(threads);
    curves.push_back(Lowess(x, y));
  }
  SetMathThreadCount(0);
  ASSERT_EQ(curves[0].Y.size(), x.size());
  for (std::size_t k = 1; k < curves.size(); ++k) {
    EXPECT_EQ(curves[k].X, curves[0].X);
    EXPECT_EQ(curves[k].Y, curves[0].Y) << "threads differ";
  }
  // The smoother follows the line underneath the noise (uniform, +-0.5).
  for (std::size_t i = 0; i < x.size(); i += 997)
    EXPECT_NEAR(curves[0].Y[i], 2.0 * curves[0].X[i], 0.02) << curves[0].X[i];
}

TEST(Lowess, OneOrderServesSeveralSeriesWithTheirOwnGaps)
{
  // X with ties, a NaN and an infinity; two series against it, the second with gaps of its own.
  // Each curve from the shared order equals the curve of that series' complete pairs alone.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> x, y1, y2;
  std::uint64_t state = 5;
  for (int i = 0; i < 3000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(state >> 11) * 0x1.0p-53;
    x.push_back(std::round(u * 400.0) / 4.0);
    y1.push_back(std::sin(x.back() / 10.0) + u);
    y2.push_back(i % 7 == 3 ? nan : std::sqrt(x.back()) - u);
  }
  x[10] = nan;
  x[20] = std::numeric_limits<double>::infinity();
  const TLowessOrder order = LowessOrderOf(x);
  for (const std::vector<double>* y : {&y1, &y2}) {
    std::vector<double> xf, yf;
    for (std::size_t i = 0; i < x.size(); ++i)
      if (std::isfinite(x[i]) && std::isfinite((*y)[i])) {
        xf.push_back(x[i]);
        yf.push_back((*y)[i]);
      }
    const TLowessCurve shared = Lowess(order, *y);
    const TLowessCurve alone = Lowess(xf, yf);
    ASSERT_EQ(shared.X.size(), xf.size());
    EXPECT_EQ(shared.X, alone.X);
    EXPECT_EQ(shared.Y, alone.Y);
  }
}

TEST(Lowess, DegenerateInputs)
{
  EXPECT_TRUE(Lowess(std::vector<double>{}, std::vector<double>{}).Y.empty());
  const TLowessCurve one = Lowess(std::vector<double>{3.0}, std::vector<double>{7.0});
  ASSERT_EQ(one.Y.size(), 1u);
  EXPECT_EQ(one.Y[0], 7.0);

  // Non-finite pairs are left out; a straight line is reproduced exactly up to rounding, and a
  // perfect fit stops the robustness iterations instead of dividing by a zero spread.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> x{5, 1, nan, 3, 2, 4, 0, 6};
  std::vector<double> y{11, 3, 1, 7, 5, 9, 1, std::numeric_limits<double>::infinity()};
  const TLowessCurve line = Lowess(x, y);
  ASSERT_EQ(line.X.size(), 6u);
  for (std::size_t i = 0; i < line.X.size(); ++i)
    EXPECT_NEAR(line.Y[i], 2.0 * line.X[i] + 1.0, 1e-12) << i;

  // All x equal: every neighbourhood holds all points; without robustness the curve is their
  // mean, with it the outlying 6 weighs less.
  //   lowess(c(2,2,2,2), c(1,2,3,6))$y[1]; lowess(c(2,2,2,2), c(1,2,3,6), iter = 0)$y[1]
  const std::vector<double> x2{2, 2, 2, 2}, y2{1, 2, 3, 6};
  ExpectNear(Lowess(x2, y2).Y, std::vector<double>(4, 2.8274913742798913), "equal x");
  ExpectNear(Lowess(x2, y2, LowessDefaultSpan, 0).Y, std::vector<double>(4, 3.0), "equal x, no iteration");
}

TEST(NormalQQ, PositionsQuartileLineAndTies)
{
  // ppoints(10); ppoints(11): a = 3/8 up to ten points, 1/2 above.
  ExpectNear(PlotPositions(10),
             {0.06097560975609756, 0.15853658536585366, 0.25609756097560976, 0.35365853658536583,
              0.45121951219512196, 0.54878048780487809, 0.64634146341463417, 0.74390243902439024,
              0.84146341463414631, 0.93902439024390238},
             "ppoints(10)");
  ExpectNear(PlotPositions(11),
             {0.045454545454545456, 0.136363636363636354, 0.227272727272727265, 0.318181818181818177,
              0.409090909090909116, 0.5, 0.590909090909090939, 0.681818181818181768, 0.772727272727272707,
              0.863636363636363646, 0.954545454545454586},
             "ppoints(11)");

  // s7 <- c(2.5, -1, 0.25, 4, -3.5, 0.25, 1.75)
  // qnorm(ppoints(7))[order(order(s7))]
  // y <- quantile(s7, c(.25,.75), names=FALSE); x <- qnorm(c(.25,.75))
  // sl <- diff(y)/diff(x); c(sl, y[1]-sl*x[1])
  const TNormalQQ q7 = NormalQQ(std::vector<double>{2.5, -1, 0.25, 4, -3.5, 0.25, 1.75});
  ExpectNear(q7.Theoretical,
             {0.75829255699115150, -0.75829255699115150, -0.35293398612691645, 1.36448874817032850,
              -1.36448874817032828, 0.0, 0.35293398612691662},
             "qqnorm, ties ranked in sample order");
  EXPECT_NEAR(q7.LineSlope, 1.8532527731320025, 1e-9 * 1.85);
  EXPECT_NEAR(q7.LineIntercept, 0.875, 1e-9);

  // i <- 1:23; s23 <- sin(i * 1.7) * 3 + i / 10; the same calls.
  std::vector<double> s23;
  for (int i = 1; i <= 23; ++i)
    s23.push_back(std::sin(i * 1.7) * 3.0 + i / 10.0);
  const TNormalQQ q23 = NormalQQ(s23);
  ExpectNear(q23.Theoretical,
             {0.57510928127843808,  -0.57510928127843830, -2.01908620058314225, 0.10920048169143157,
              0.45074421261535913,  -1.02715427291499961, -0.85725432022117842, 0.70910250340902403,
              0.21972291581857992,  -1.51238958606768015, -0.21972291581857981, 1.02715427291499961,
              -0.10920048169143171, -1.23349456196869145, 0.33300509819729662,  1.51238958606768015,
              -0.33300509819729662, -0.45074421261535913, 1.23349456196869123,  0.85725432022117842,
              -0.70910250340902381, 0.0,                  2.01908620058314225},
             "qqnorm, 23 values");
  EXPECT_NEAR(q23.LineSlope, 2.8347736919962725, 1e-9 * 2.83);
  EXPECT_NEAR(q23.LineIntercept, 1.3142141385864554, 1e-9 * 1.31);

  // Zero and negative zero are equal values: ranked in sample order like any tie.
  const TNormalQQ zeros = NormalQQ(std::vector<double>{0.0, -0.0, -1.0});
  const std::vector<double> p3 = PlotPositions(3);
  EXPECT_EQ(zeros.Theoretical[2], NormalQuantile(p3[0]));
  EXPECT_EQ(zeros.Theoretical[0], NormalQuantile(p3[1]));
  EXPECT_EQ(zeros.Theoretical[1], NormalQuantile(p3[2]));

  // A non-finite value gets no position and does not shift the others' ranks.
  std::vector<double> withNaN = s23;
  withNaN.insert(withNaN.begin() + 5, std::numeric_limits<double>::quiet_NaN());
  const TNormalQQ qn = NormalQQ(withNaN);
  EXPECT_TRUE(std::isnan(qn.Theoretical[5]));
  EXPECT_EQ(qn.Theoretical[6], q23.Theoretical[5]);
  EXPECT_EQ(qn.LineSlope, q23.LineSlope);
}

TEST(SampleQuantile, InterpolatesBetweenOrderStatistics)
{
  const std::vector<double> v{1, 2, 4, 8};
  EXPECT_EQ(SampleQuantile(v, 0.0), 1.0);
  EXPECT_EQ(SampleQuantile(v, 1.0), 8.0);
  EXPECT_DOUBLE_EQ(SampleQuantile(v, 0.25), 1.75);  // position 1.75: 1 + 0.75 (2 - 1)
  EXPECT_DOUBLE_EQ(SampleQuantile(v, 0.5), 3.0);
  EXPECT_TRUE(std::isnan(SampleQuantile(std::vector<double>{}, 0.5)));
  EXPECT_TRUE(std::isnan(SampleQuantile(v, 1.5)));
  EXPECT_NEAR(NormalQuantile(0.975), 1.959963984540054, 1e-15);  // qnorm(0.975)
  EXPECT_EQ(NormalQuantile(0.0), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(NormalQuantile(-0.1)));
}

TEST(CookContour, CurveIsTheLevelOfCooksDistance)
{
  // Cook's distance of a standardized residual r at leverage h is r^2 h / (k (1 - h)); on the
  // contour it equals the level.
  for (double level : {0.5, 1.0}) {
    for (double h : {0.01, 0.2, 0.5, 0.9}) {
      const double r = CookContour(level, 3, h);
      EXPECT_NEAR(r * r * h / (3.0 * (1.0 - h)), level, 1e-14) << level << " " << h;
    }
  }
  EXPECT_EQ(CookContour(1.0, 3, 1.0), 0.0);
  EXPECT_TRUE(std::isnan(CookContour(1.0, 3, 0.0)));

  // hh <- seq.int(min(0.02, 0.5/100), 0.6, length.out = 101)
  const std::vector<double> hh = CookContourLeverages(0.02, 0.5, 0.6);
  ASSERT_EQ(hh.size(), 101u);
  EXPECT_EQ(hh.front(), 0.005);
  EXPECT_EQ(hh.back(), 0.6);
  EXPECT_NEAR(hh[50], 0.3025, 1e-15);
}

TEST(MostExtreme, LargestMagnitudeFirstTiesInOrder)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> v{0.5, -3, nan, 3, 1, -2};
  EXPECT_EQ(MostExtreme(v, 3), (std::vector<std::size_t>{1, 3, 5}));
  EXPECT_EQ(MostExtreme(v, 10).size(), 5u);
  EXPECT_TRUE(MostExtreme(v, 0).empty());
}
