// One host file as a collection sees it.
#include "survey.h"

cpm_Survey cpm_SurveyImage(const std::string &path, const cpm_SurveyOptions &options)
{
    (void)options;
    cpm_Survey survey;
    survey.Path = path;
    return survey;
}
