# Writes the small statistics-package files the data tests read (tests/data/files/), with R's
# haven: the table of same-stat.csv as SPSS (.sav, .zsav), Stata (.dta) and SAS transport
# (.xpt) files, with value labels, a user-defined missing value (SPSS) and a string variable;
# and labels.sav, a variable whose value labels lie outside 0..150. Run from the repository root:
#   Rscript scripts/make-stat-test-files.R [OUTDIR]
# The tests also run it into a temporary folder when R and haven are present.
suppressMessages(library(haven))
args <- commandArgs(trailingOnly = TRUE)
out <- if (length(args) > 0) args[1] else "tests/data/files"
dir.create(out, showWarnings = FALSE, recursive = TRUE)

weight <- c(71.5, NA, 63, 80)
group <- c(0, 1, 0, 1)
y <- c(1.25, -0.002, 7, 1e5)
city <- c("Bern", "Basel", "Bern", "")
writeLines(c("weight,group,y,city", "71.5,ctl,1.25,Bern", "NA,trt,-0.002,Basel", "63,ctl,7,Bern",
             "80,trt,1e+05,NA"), file.path(out, "same-stat.csv"))

# SPSS: 999 is a user-defined missing value of weight.
sav <- data.frame(weight = labelled_spss(c(71.5, 999, 63, 80), na_values = 999),
                  group = labelled(group, c(ctl = 0, trt = 1)), y = y, city = city)
attr(sav$weight, "label") <- "Body weight (kg)"
write_sav(sav, file.path(out, "same.sav"))
write_sav(sav, file.path(out, "same.zsav"), compress = "zsav")
dta <- data.frame(weight = weight, group = labelled(group, c(ctl = 0, trt = 1)), y = y, city = city)
write_dta(dta, file.path(out, "same.dta"))
write_xpt(data.frame(weight = weight, group = group, y = y), file.path(out, "same.xpt"))
write_sav(data.frame(code = labelled(c(1, 200, 1, 1), c(low = 1, high = 200)), v = c(1, 2, 3, 4)),
          file.path(out, "labels.sav"))
