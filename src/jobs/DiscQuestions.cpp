#include "jobs/DiscQuestions.h"

#include "app/MessageBox.h"

bool AskOverwriteDisc(const std::optional<DiscContents> &disc)
{
    return !disc || ShowDangerQuestion(OverwriteDiscQuestionText(*disc)) == IDYES;
}

bool AskEraseDisc(const std::optional<DiscContents> &disc)
{
    return !disc || ShowDangerQuestion(EraseDiscQuestionText(*disc)) == IDYES;
}
