// The public reference data sets for linear least squares (tests/numlib/nist/*.dat, unchanged
// files with certified results): a reader of their format for the solver's and the run's
// tests, and the log relative error that scores a result against a certified value.
//
// The file's sixth and seventh lines give the line ranges of the certified values and of the
// data; a certified parameter line reads "Bk  estimate  standard-deviation". A data line holds y
// and then the predictors. A set with one predictor and more than two parameters is a polynomial
// in it; any other set is linear in its predictors with an intercept.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef ORVEX_NIST_DIR
#error "ORVEX_NIST_DIR must name the folder of the reference data files"
#endif

namespace orvex::nist {

struct TReferenceSet {
  std::string Name;
  // The design's columns, intercept (the ones) first, then x, x^2, ... or the predictors.
  std::vector<std::vector<double>> Columns;
  std::vector<double> Y;
  std::vector<double> Coef, StdDev;  // certified, in the order of Columns
  double ResidualSD = 0;             // certified residual standard deviation
};

inline TReferenceSet ReadReferenceSet(const std::string& Name)
{
  std::ifstream in(std::string(ORVEX_NIST_DIR) + "/" + Name + ".dat");
  if (!in)
    throw std::runtime_error("cannot open the reference set " + Name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  // "(lines A to B)" on the given line of the header.
  auto range = [&](std::size_t Index, int& First, int& Last) {
    const std::string& l = lines.at(Index);
    const auto at = l.find("(lines");
    if (at == std::string::npos || std::sscanf(l.c_str() + at, "(lines %d to %d)", &First, &Last) != 2)
      throw std::runtime_error(Name + ": no line range in \"" + l + "\"");
  };
  int certFirst = 0, certLast = 0, dataFirst = 0, dataLast = 0;
  range(4, certFirst, certLast);
  range(5, dataFirst, dataLast);

  TReferenceSet set;
  set.Name = Name;
  for (int i = certFirst; i <= certLast; ++i) {
    std::istringstream l(lines.at(static_cast<std::size_t>(i - 1)));
    std::string word;
    l >> word;
    if (word.size() >= 2 && word[0] == 'B' && std::isdigit(static_cast<unsigned char>(word[1]))) {
      double est = 0, sd = 0;
      l >> est >> sd;
      set.Coef.push_back(est);
      set.StdDev.push_back(sd);
    } else if (word == "Standard") {  // "Standard Deviation  value" after the line "Residual"
      std::string deviation;
      l >> deviation >> set.ResidualSD;
    }
  }
  std::vector<std::vector<double>> predictors;
  for (int i = dataFirst; i <= dataLast; ++i) {
    std::istringstream l(lines.at(static_cast<std::size_t>(i - 1)));
    double y = 0;
    l >> y;
    set.Y.push_back(y);
    std::size_t k = 0;
    for (double x; l >> x; ++k) {
      if (predictors.size() <= k)
        predictors.resize(k + 1);
      predictors[k].push_back(x);
    }
  }
  const std::size_t params = set.Coef.size();
  set.Columns.emplace_back(set.Y.size(), 1.0);
  if (predictors.size() == 1 && params > 2) {
    for (std::size_t degree = 1; degree < params; ++degree) {
      std::vector<double> column;
      for (double x : predictors[0])
        column.push_back(std::pow(x, static_cast<double>(degree)));
      set.Columns.push_back(column);
    }
  } else {
    for (const auto& p : predictors)
      set.Columns.push_back(p);
  }
  if (set.Columns.size() != params)
    throw std::runtime_error(Name + ": the design does not match the certified parameters");
  return set;
}

// Log relative error: the number of correct significant digits, at most 15 (the certified
// values have 15); against a certified 0 it is the absolute error's.
inline double Lre(double Value, double Certified)
{
  const double err = Certified == 0 ? std::fabs(Value) : std::fabs(Value - Certified) / std::fabs(Certified);
  return err == 0 ? 15.0 : std::min(15.0, -std::log10(err));
}

}  // namespace orvex::nist
