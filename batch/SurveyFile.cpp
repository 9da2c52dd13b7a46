#include "batch/SurveyFile.h"

namespace vantrel {

std::string surveyFileName(std::chrono::system_clock::time_point when) {
    // The results file's stamp, under the survey's own prefix.
    return "_survey" + resultsFileName(when).substr(std::string("_results").size());
}

std::string surveyLine(const SurveyRow& r) {
    return csvField(r.machine) + "," + csvField(r.service) + "," + csvField(r.state) + "," +
           csvField(r.startType) + "," + csvField(r.account) + "," + csvField(r.logonRight) + "," +
           csvField(r.error);
}

} // namespace vantrel
