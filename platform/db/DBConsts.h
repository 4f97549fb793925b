// Messages of the dataset classes. Those with %s take the field's display
// name or a value, as noted.
#pragma once

inline constexpr const char* SFieldNotFound = "Поле '%s' не найдено";
inline constexpr const char* SDataSetClosed =
    "Операция не может быть выполнена на закрытом наборе данных";
inline constexpr const char* SDataSetOpen =
    "Операция не может быть выполнена на открытом наборе данных";
inline constexpr const char* SDataSetEmpty =
    "Операция не может быть выполнена на пустом наборе данных";
inline constexpr const char* SNotEditing = "Набор данных не в режиме редактирования или вставки";
inline constexpr const char* SDataSetReadOnly =
    "Набор данных только для чтения: изменение невозможно";
inline constexpr const char* SRecordNotFound = "Запись не найдена";
inline constexpr const char* SAddRecordUnsupported =
    "Набор данных не добавляет записи целиком";
inline constexpr const char* SBookmarkNotFound = "Закладка не найдена";
inline constexpr const char* SFieldRequired = "Поле '%s' должно иметь значение";
inline constexpr const char* SFieldReadOnly = "Поле '%s' не может быть изменено";
inline constexpr const char* SFieldNameMissing = "Не задано имя поля";
inline constexpr const char* SDuplicateFieldName = "Повторяющееся имя поля '%s'";
inline constexpr const char* SFieldIndexError = "Индекс поля вне допустимого диапазона";
inline constexpr const char* SFieldTypeMismatch =
    "Несоответствие типа поля '%s': ожидался %s, а задан %s";
inline constexpr const char* SFieldAccessError = "Нет доступа к полю '%s' как к типу %s";
inline constexpr const char* SUnknownFieldType = "Поле '%s' неизвестного типа";
inline constexpr const char* SDataSetMissing = "Поле '%s' не связано с набором данных";
inline constexpr const char* SLookupInfoError = "Неполное описание подстановки для поля '%s'";
inline constexpr const char* SInvalidIntegerValue =
    "'%s' не является целым значением для поля '%s'";
inline constexpr const char* SInvalidFloatValue = "'%s' не является числом для поля '%s'";
inline constexpr const char* SInvalidBoolValue =
    "'%s' не является логическим значением для поля '%s'";
inline constexpr const char* SInvalidDateValue =
    "'%s' не является датой или временем для поля '%s'";
inline constexpr const char* SFieldRangeError =
    "%s - недопустимое значение для поля '%s'. Допустимый диапазон от %s до %s";
inline constexpr const char* SCircularDataLink = "Циклические связи источников данных недопустимы";
inline constexpr const char* SDataSourceChange = "Источник данных не может быть изменен";
inline constexpr const char* SIndexNotFound = "Индекс '%s' не найден";
inline constexpr const char* SNoFieldIndexes = "Нет индекса для полей '%s'";

// The filter-expression parser. The last %d is the 1-based position in the text.
inline constexpr const char* SExprStringError =
    "Фильтр: не закрыта строковая константа (позиция %d)";
inline constexpr const char* SExprNameError = "Фильтр: не закрыто имя поля (позиция %d)";
inline constexpr const char* SExprInvalidChar = "Фильтр: недопустимый символ '%s' (позиция %d)";
inline constexpr const char* SExprExpected = "Фильтр: ожидалось выражение, найдено %s (позиция %d)";
inline constexpr const char* SExprNoLParen = "Фильтр: ожидалась '(', найдено %s (позиция %d)";
inline constexpr const char* SExprNoRParen = "Фильтр: ожидалась ')', найдено %s (позиция %d)";
inline constexpr const char* SExprTermination = "Фильтр: лишний текст %s (позиция %d)";
inline constexpr const char* SExprBadNullTest =
    "Фильтр: NULL допустим только после '=', '<>' или IS (позиция %d)";
inline constexpr const char* SExprNullExpected = "Фильтр: после IS ожидалось NULL (позиция %d)";
inline constexpr const char* SExprArgCount =
    "Фильтр: неверное число аргументов функции %s (позиция %d)";
inline constexpr const char* SExprUnknownFunction = "Фильтр: неизвестная функция %s (позиция %d)";
inline constexpr const char* SExprBadConst = "Фильтр: значение '%s' не подходит для поля '%s'";
inline constexpr const char* SExprBadNumber = "Фильтр: неверное число %s (позиция %d)";
inline constexpr const char* SExprEnd = "конец текста";

// Component streaming.
inline constexpr const char* SInvalidImage = "Неверный формат потока";
inline constexpr const char* SInvalidPropertyValue = "Неверное значение свойства";
