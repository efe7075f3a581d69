<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>OptionsPanel</name>
    <message>
        <source>Filter by extension</source>
        <translation>Фильтр по расширению</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Разрешить</translation>
    </message>
    <message>
        <source>Save the options</source>
        <translation>Сохранить настройки</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Скрыть</translation>
    </message>
    <message>
        <source>Synchronization of files/folders</source>
        <translation>Режим синхронизации файлов/папок</translation>
    </message>
    <message>
        <source>File type (archive/all)</source>
        <translation>Тип файлов (архивные/все)</translation>
    </message>
    <message>
        <source>Synchronization timer</source>
        <translation>Таймер синхронизации</translation>
    </message>
    <message>
        <source>Interval</source>
        <translation>Интервал</translation>
    </message>
    <message>
        <source>Synchronize all/only the selected</source>
        <translation>Синхронизировать все/только выделенные</translation>
    </message>
    <message>
        <source>Into the notification area</source>
        <translation>В системный лоток</translation>
    </message>
    <message>
        <source>Start at log-on</source>
        <translation>Загрузка при старте</translation>
    </message>
    <message>
        <source>Synchronize when files in the listed folders change</source>
        <translation>Синхронизировать, когда файлы в папках списков изменились</translation>
    </message>
    <message>
        <source>Without asking</source>
        <translation>Без запроса</translation>
    </message>
    <message>
        <source>Keep replaced files in the Trash</source>
        <translation>Хранить заменённые файлы в Корзине</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Help file not found</source>
        <translation>Файл справки не найден</translation>
    </message>
    <message>
        <source>List of folders 2</source>
        <translation>Список каталогов 2</translation>
    </message>
    <message>
        <source>List of folders 1</source>
        <translation>Список каталогов 1</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Отчет</translation>
    </message>
    <message>
        <source>Synchronize all</source>
        <translation>Синхронизировать все</translation>
    </message>
    <message>
        <source>Synchronize selected</source>
        <translation>Синхронизировать выбранные</translation>
    </message>
    <message>
        <source>Add a folder to list 1</source>
        <translation>Добавить каталог в список 1</translation>
    </message>
    <message>
        <source>Add a folder to list 2</source>
        <translation>Добавить каталог в список 2</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Помощь</translation>
    </message>
    <message>
        <source>Save the report</source>
        <translation>Сохранить отчет</translation>
    </message>
    <message>
        <source>To the author&apos;s site</source>
        <translation>На сайт автора</translation>
    </message>
    <message>
        <source>Useful little things</source>
        <translation>Полезные мелочи</translation>
    </message>
</context>
</TS>
