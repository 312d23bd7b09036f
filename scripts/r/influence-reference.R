# R's figures for scripts/compare-r.sh: the table (mlrreport --csv), the input names separated
# by commas and the target name; prints infl, dfbetas, pred, loglik, aic, bic and beta lines in
# the layout of mlrreport --values --influence --predict.
args <- commandArgs(TRUE)
d <- read.csv(args[1], check.names=FALSE)
inputs <- strsplit(args[2], ",")[[1]]; target <- args[3]
X <- d[, inputs, drop=FALSE]; y <- d[[target]]
df <- data.frame(y=y, X); names(df) <- c("y", paste0("x", seq_along(inputs)))
fml <- as.formula(paste("y ~", paste(paste0("x", seq_along(inputs)), collapse=" + ")))
f <- lm(fml, data=df, na.action=na.omit)
used <- as.integer(names(residuals(f)))
im <- influence.measures(f)
k <- length(inputs) + 1
fmt <- function(v) ifelse(is.na(v), "nan", sprintf("%.17g", v))
inf <- im$infmat; isinf <- im$is.inf
nm <- c("dfb","dffit","cov.r","cook.d","hat")
rs <- rstandard(f); rt <- rstudent(f)
for (i in seq_along(used)) {
  r <- used[i]
  fl <- c(any(isinf[i, 1:k]), isinf[i, k+1], isinf[i, k+2], isinf[i, k+3], isinf[i, k+4])
  fl[is.na(fl)] <- FALSE
  cat("infl", r, fmt(inf[i, k+4]), fmt(rs[i]), fmt(rt[i]), fmt(inf[i, k+3]), fmt(inf[i, k+1]), fmt(inf[i, k+2]), paste(nm[fl], collapse=","), sep="\t"); cat("\n")
  cat("dfbetas", r, fmt(inf[i, c(2:k, 1)]), sep="\t"); cat("\n")
}
ok <- which(complete.cases(X))
nd <- df[ok, -1, drop=FALSE]
pc <- predict(f, newdata=nd, interval="confidence", se.fit=TRUE)
pp <- predict(f, newdata=nd, interval="prediction")
for (a in seq_along(ok)) {
  r <- ok[a]; res <- if (is.na(y[r])) "" else fmt(y[r] - pc$fit[a, 1])
  cat("pred", r, fmt(pc$fit[a,1]), fmt(pc$se.fit[a]), fmt(pc$fit[a,2]), fmt(pc$fit[a,3]), fmt(pp[a,2]), fmt(pp[a,3]), res, sep="\t"); cat("\n")
}
cat("loglik", fmt(as.numeric(logLik(f))), sep="\t"); cat("\n")
cat("aic", fmt(AIC(f)), sep="\t"); cat("\n")
cat("bic", fmt(BIC(f)), sep="\t"); cat("\n")
cf <- coef(f); u <- df[used, ]
for (j in seq_along(inputs)) { cat("beta", inputs[j], fmt(cf[j+1] * sd(u[[j+1]]) / sd(u$y)), sep="\t"); cat("\n") }
