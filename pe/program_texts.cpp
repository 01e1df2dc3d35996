#include "pe/program_texts.h"

#include "base/refusal.h"
#include "pe/pe_image.h"
#include "pe/utf16_text.h"
#include "pe/version_resource.h"

bool ReadProgramTexts(const uint8_t* exe, uint32_t size, CProgramTexts& texts, std::string* why) {
  CPeImage image;
  CPeResource resource;
  CVersionFields fields;
  std::string reason;
  if (!image.Parse(exe, size, &reason) ||
      !image.FindResource(kVersionType, kVersionId, CPeImage::kAnyLanguage, resource, &reason) ||
      !ReadVersionFields(exe, resource.fileOffset, resource.size, fields, &reason))
    return Refuse(why, reason.empty() ? "no version resource" : reason);
  texts.productName = ToUtf8(FieldText(exe, fields.productName));
  texts.productVersion = ToUtf8(FieldText(exe, fields.productVersion));
  return true;
}
