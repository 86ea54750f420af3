#include "idea/DocumentKeyHandler.h"

void tDocumentKeyHandler::Increment(int counter) {
  tKvBcdFix& key = Keys[Index(counter)];
  // Nibbles run most significant first: byte 0 high nibble is nibble 0.
  for (int nibble = tKvBcdFix::kNibbles - 1; nibble >= 0; --nibble) {
    uint8_t& byte = key.Bytes[static_cast<size_t>(nibble / 2)];
    const int shift = nibble % 2 == 0 ? 4 : 0;
    const int digit = (byte >> shift) & 0x0F;
    const int next = digit >= 9 ? 0 : digit + 1;
    byte = static_cast<uint8_t>((byte & ~(0x0F << shift)) | (next << shift));
    if (next != 0) break;
  }
  std::string& text = Texts[Index(counter)];
  text.clear();
  key.AppendText(text);
}
