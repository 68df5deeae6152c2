#pragma once
// The comparison of two visits as the comparison window shows it: the two visits, then one
// table per kind of difference (new, missing, moved, setup changed, firmware changed, sums
// over the threshold, not identified); a kind with nothing in it is left out.
#include "visit/diff.h"

#include <QString>

namespace fh {

QString ComparisonHtml(const visit::Visit& older, const visit::Visit& newer,
                       const visit::VisitDiff& diff, double thresholdPercent);

} // namespace fh
