#include "app/uRequisites.h"

#include "app/uBase64.h"
#include "app/uDerReader.h"
#include "common/uTools.h"
#include "common/uutf8.h"
#include "rtl/SysUtils.h"

namespace {

bool Allowed(unsigned char C) {
  return C == ' ' || C == '"' || C == '\'' || C == '(' || C == ')' || (C >= '+' && C <= ';') ||
         C == '@' || (C >= 'A' && C <= 'Z') || C == '_' || (C >= 'a' && C <= 'z') || C == 0xA8 ||
         C == 0xB8 || C == 0xB9 || C >= 0xC0;
}

bool IsArmourLine(const AnsiString& Line) {
  return Line.size() >= 10 && Line.starts_with("-----") && Line.ends_with("-----");
}

// One PKCS#10 request in DER: a SEQUENCE of the request info (a SEQUENCE),
// the signature algorithm (a SEQUENCE) and the signature (a BIT STRING),
// minimal lengths throughout and nothing left over.
bool IsDerCertRequest(const AnsiString& Bytes) {
  if (!IsDerThroughout(Bytes)) return false;
  TDerReader Whole(Bytes);
  uint8_t Tag;
  const uint8_t* Content;
  size_t Length;
  if (!Whole.Next(Tag, Content, Length) || Tag != 0x30 || !Whole.AtEnd()) return false;
  TDerReader Parts(Content, Length);
  for (const uint8_t Expected : {uint8_t{0x30}, uint8_t{0x30}, uint8_t{0x03}})
    if (!Parts.Next(Tag, Content, Length) || Tag != Expected) return false;
  // The signature's first byte counts the unused bits of its last byte.
  return Parts.AtEnd() && Length >= 1 && Content[0] <= 7 && (Length > 1 || Content[0] == 0);
}

}  // namespace

AnsiString OwnerInn(const AnsiString& TrimmedInn, TOwnerType OwnerType) {
  if (OwnerType == otLegalEntity && TrimmedInn.size() == 12 && TrimmedInn.starts_with("00"))
    return TrimmedInn.substr(2);
  return TrimmedInn;
}

AnsiString SanitizeText(const AnsiString& S) {
  AnsiString Blanked = S;
  for (char& C : Blanked)
    if (!Allowed(static_cast<unsigned char>(C))) C = ' ';
  AnsiString Result;
  for (char C : Trim(Blanked))
    if (C != ' ' || Result.empty() || Result.back() != ' ') Result += C;
  return Result;
}

AnsiString TooLongMessage(const AnsiString& Caption, int Length) {
  return "Длина поля " + Caption + " превосходит ограничение в  " + IntToStr(MaxRequisiteLength) +
         " Пожалуйста сократите на " + IntToStr(Length - MaxRequisiteLength) + " символов!";
}

std::vector<AnsiString> RequestSubject(const TRequisites& R) {
  std::vector<AnsiString> Subject;
  auto Add = [&](const char* Name, const AnsiString& Value) {
    Subject.push_back(Name);
    Subject.push_back(WideToUtf8(AnsiToWide(Value)));
  };
  auto AddIfAny = [&](const char* Name, const AnsiString& Value) {
    if (!Value.empty()) Add(Name, Value);
  };
  bool Legal = R.OwnerType == otLegalEntity;
  Add("CN", Legal ? Trim(R.O) : Trim(R.SN + " " + R.GN1 + " " + R.GN2));
  Add("C", "RU");
  if (Legal) Add("2.5.4.10", Trim(R.O));
  Add("2.5.4.8", Trim(R.ST));
  Add("2.5.4.7", Trim(R.L));
  AddIfAny("2.5.4.11", Trim(R.OU));
  AddIfAny("2.5.4.12", Trim(R.Category));
  AddIfAny("1.2.840.113549.1.9.1", Trim(R.EMAIL));
  Add("1.2.643.3.131.1.1", PadLeftTo(R.INN, 12, '0'));
  if (Legal)
    Add("1.2.643.100.1", Trim(R.OGRN));
  else
    AddIfAny("1.2.643.100.5", Trim(R.OGRN));
  AddIfAny("1.2.643.100.3", Trim(R.SNILS));
  if (!Trim(R.Street).empty()) Add("2.5.4.9", R.Street);
  Add("2.5.4.4", Trim(R.SN));
  Add("2.5.4.42", Trim(R.GN1 + " " + R.GN2));
  return Subject;
}

AnsiString RequestKeyUsages(int Months) {
  return "1.3.6.1.5.5.7.3.4,1.3.6.1.5.5.7.3.2,1.2.643.2.2.34.6,1.2.643.5.1.28.2,1.2.643.5.1.28.3,"
         "1.2.643.5.1.28.4,1.2.643.3.6.78.4.5,1.2.643.3.6.0." +
         IntToStr(Months);
}

// Only an answer that starts as PEM is PEM: a DER request may well carry
// the word CERTIFICATE in its subject.
AnsiString RequestToDer(const AnsiString& Answer) {
  const AnsiString Unreadable = "Токен вернул запрос на сертификат, который не удалось прочитать";
  // A PEM text may come after a byte-order mark and blank lines.
  size_t Text = 0;
  for (;;) {
    if (Answer.compare(Text, 3, "\xEF\xBB\xBF") == 0)
      Text += 3;
    else if (Text < Answer.size() && AnsiString(" \t\r\n").find(Answer[Text]) != AnsiString::npos)
      ++Text;
    else
      break;
  }
  if (Answer.compare(Text, 10, "-----BEGIN") != 0) {
    // Anything else must be the DER request itself: an empty or garbled
    // answer is no request to save.
    if (!IsDerCertRequest(Answer)) throw Exception(Unreadable);
    return Answer;
  }
  AnsiString Body;
  for (size_t Start = Text; Start < Answer.size();) {
    size_t End = Answer.find('\n', Start);
    if (End == AnsiString::npos) End = Answer.size();
    AnsiString Line = Answer.substr(Start, End - Start);
    Start = End + 1;
    if (Line.ends_with('\r')) Line.pop_back();
    if (!IsArmourLine(Line)) Body += Line;
  }
  AnsiString Der = DecodeBase64(Body);
  if (!IsDerCertRequest(Der)) throw Exception(Unreadable);
  return Der;
}

AnsiString RequestFileName(const AnsiString& Inn, TDateTime When) {
  return Inn + "_" + FormatDateTime("yyyymmdd_hhnnss", When) + ".req";
}

const std::vector<const char*> PositionPresets = {
    "Глава",
    "Глава администрации",
    "Глава сельского поселения",
    "Генеральный директор",
    "Главный бухгалтер",
    "Главный врач",
    "Директор",
    "Директор школы",
    "Бухгалтер",
    "Заведующий",
    "Заведующая",
    "Руководитель",
    "Командир",
    "Министр",
    "Начальник",
    "Начальник управления",
    "Управляющий",
    "Ректор",
    "Индивидуальный предприниматель",
    "Исполнительный директор",
    "Председатель правления",
    "Председатель",
    "Председатель ликвидационной комиссии",
    "Художественный руководитель",
};

const std::vector<const char*> RegionPresets = {
    "01 Республика Адыгея (Адыгея)",
    "02 Республика Башкортостан",
    "03 Республика Бурятия",
    "04 Республика Алтай",
    "05 Республика Дагестан",
    "06 Республика Ингушетия",
    "07 Кабардино-Балкарская Республика",
    "08 Республика Калмыкия",
    "09 Карачаево-Черкесская Республика",
    "10 Республика Карелия",
    "11 Республика Коми",
    "12 Республика Марий Эл",
    "13 Республика Мордовия",
    "14 Республика Саха (Якутия)",
    "15 Республика Северная Осетия - Алания",
    "16 Республика Татарстан",
    "17 Республика Тыва",
    "18 Удмуртская Республика",
    "19 Республика Хакасия",
    "20 Чеченская Республика",
    "21 Чувашская Республика - Чувашия",
    "22 Алтайский край",
    "23 Краснодарский край",
    "24 Красноярский край",
    "25 Приморский край",
    "26 Ставропольский край",
    "27 Хабаровский край",
    "28 Амурская область",
    "29 Архангельская область и Ненецкий автономный округ",
    "30 Астраханская область",
    "31 Белгородская область",
    "32 Брянская область",
    "33 Владимирская область",
    "34 Волгоградская область",
    "35 Вологодская область",
    "36 Воронежская область",
    "37 Ивановская область",
    "38 Иркутская область",
    "39 Калининградская область",
    "40 Калужская область",
    "41 Камчатский край",
    "42 Кемеровская область",
    "43 Кировская область",
    "44 Костромская область",
    "45 Курганская область",
    "46 Курская область",
    "47 Ленинградская область",
    "48 Липецкая область",
    "49 Магаданская область",
    "50 Московская область",
    "51 Мурманская область",
    "52 Нижегородская область",
    "53 Новгородская область",
    "54 Новосибирская область",
    "55 Омская область",
    "56 Оренбургская область",
    "57 Орловская область",
    "58 Пензенская область",
    "59 Пермский край",
    "60 Псковская область",
    "61 Ростовская область",
    "62 Рязанская область",
    "63 Самарская область",
    "64 Саратовская область",
    "65 Сахалинская область",
    "66 Свердловская область",
    "67 Смоленская область",
    "68 Тамбовская область",
    "69 Тверская область",
    "70 Томская область",
    "71 Тульская область",
    "72 Тюменская область",
    "73 Ульяновская область",
    "74 Челябинская область",
    "75 Забайкальский край",
    "76 Ярославская область",
    "77 г. Москва",
    "78 г. Санкт-Петербург",
    "79 Еврейская автономная область",
    "86 Ханты-Мансийский автономный округ - Югра",
    "87 Чукотский автономный округ",
    "89 Ямало-Ненецкий автономный округ",
    "91 Республика Крым",
    "92 г. Севастополь",
    "99 Иные территории, включая, г. Байконур",
};

const std::vector<const char*> CityPresets = {
    "с. Агаповка",
    "с. Аргаяш",
    "Аша",
    "п. Бреды",
    "с. Варна",
    "Верхнеуральск",
    "Верхний Уфалей",
    "Еманжелинск",
    "с. Еткуль",
    "Златоуст",
    "Карабаш",
    "Карталы",
    "Касли",
    "Катав-Ивановск",
    "Коркино",
    "Миасское",
    "c.Кунашак",
    "Куса",
    "Кыштым",
    "Магнитогорск",
    "Миасс",
    "с. Фершампенуаз",
    "Нязепетровск",
    "с. Октябрьское",
    "Пласт",
    "Сатка",
    "с. Долгодеревенское",
    "Троицк",
    "п. Увельский",
    "пос. Увильды",
    "с. Уйское",
    "Усть - Катав",
    "Чебаркуль",
    "с. Чесма",
    "Южноуральск",
    "Алапаевск",
    "Арамиль",
    "Артемовск",
    "Асбест",
    "Белоярский",
    "Березовский",
    "В.Тагил",
    "В.Пышма",
    "В.Салда",
    "В.Тура",
    "Верхотурье",
    "Волчанск",
    "Дегтярск",
    "Ивдель",
    "Ирбит",
    "Каменск-Уральский",
    "Камышлов",
    "Карпинск",
    "Качканар",
    "Кировград",
    "Краснотурьинск",
    "Красноуральск",
    "Красноуфимск",
    "Кушва",
    "Лесной",
    "Невьянск",
    "Н.Серьги",
    "Н.Тагил",
    "Н.Салда",
    "Н.Тура",
    "Н.Ляля",
    "Новоуральск",
    "Первоуральск",
    "Полевской",
    "Пышма",
    "Ревда",
    "Реж",
    "Рефтинский",
    "Североуральск",
    "Серов",
    "Среднеуральск",
    "Сухой лог",
    "Сысерть",
    "Таборы",
    "Тавда",
    "Талица",
    "Тугулым",
    "Туринск",
    "Туринская слабода",
    "Шаля",
    "Челябинск",
    "Екатеринбург",
    "Копейск",
    "Новосибирск",
    "Бердск",
    "Искитим",
};
