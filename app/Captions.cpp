#include "app/Captions.h"

namespace korvane {

namespace {

// Keys are control names; "ListView1:2" is column 2 of ListView1. "\r" breaks
// a tool-button caption into two lines.
constexpr CaptionRow kCaptions[] = {
    {"SaveListing1", {"&Save listing", "Savegarder les informations", "Excepto el listado", "&Сохранить список", "保存清单", "保存清單"}},
    {"Collect1", {"&Collect", "&Collecter", "&Recolección", "&Поиск", "收集驱动信息(&C)", "收集驅動信息(&C)"}},
    {"N1", {"&Backup", "&Sauvegarder", "&Empaquetar", "&Сохранение", "备份驱动(&B)", "備份驅動(&B)"}},
    {"install1", {"&Install", "&Installer", "&Instalar", "&Установка", "安装驱动(&I)", "安裝驅動(&I)"}},
    {"Interface1", {"Inter&face", "&Langue", "Idio&ma", "Я&зык", "界面语言(&F)", "界面語言(&F)"}},
    {"Help1", {"&Help", "&?", "&Ayuda", "&Помощь", "帮助(&H)", "幫助(&H)"}},
    {"BitBtn8", {"Fast Collect", "Pilotes\rhors-Microsoft", "Recolección\rRápida", "Быстрый \rпоиск", "快速收集", "快速收集"}},
    {"BitBtn1", {"Collect All", "Tous\rles pilotes", "Recolección\rTotal", "Найти все", "收集全部", "收集全部"}},
    {"BitBtn2", {"Backup", "Sauvegarder\rla sélection", "Empaquetar", "Сохранить", "备份驱动", "備份驅動"}},
    {"BitBtn3", {"Backup All", "Sauvegarder\rTout", "Empaquetar\rTodos", "Сохранить \rвсе", "备份全部", "備份全部"}},
    {"BitBtn4", {"Restore", "Restituer\run pilote", "Restaurar", "Восста-\rновить", "恢复驱动", "恢復驅動"}},
    {"BitBtn5", {"Print", "Imprimer", "Imprimir", "Печать", "打印清单", "打印清單"}},
    {"Print1", {"&Print listing", "&Imprimer", "Imprimir", "&Печать списка", "打印清单", "打印清單"}},
    {"SpeedButton1", {"Update", "Réactualiser", "Actualizar", "Обновить", "更新驱动", "更新驅動"}},
    {"SpeedButton2", {"Remove", "Supprimer", "Remover", "Удаление", "删除驱动", "刪除驅動"}},
    {"SpeedButton3", {"Install", "Installer", "Instalar", "Установка", "安装驱动", "安裝驅動"}},
    {"SpeedButton4", {"Restore All", "Restituer\rtous les pilotes", "Restaurar\rTodos", "Восста-\rновление", "恢复全部", "恢復全部"}},
    {"ListView1:0", {"Description", "Description", "Descripción", "Описание", "驱动描述", "驅動描述"}},
    {"ListView1:1", {"INF", "INF Fichier", "Inf", "INF", "驱动特征", "驅動特征"}},
    {"ListView1:2", {"Version", "Version", "Versión", "Версия", "驱动版本", "驅動版本"}},
    {"ListView1:3", {"Date", "Date", "Fecha", "Дата", "发布日期", "發布日期"}},
    {"ListView1:4", {"Manufacturer", "Manufacteur", "Fabricante", "Производитель", "发布公司", "發布公司"}},
    {"ListView1:5", {"Device ID", "Device ID", "Dispositivo ID", "ID Устройства", "安装特征", "安裝特征"}},
    {"ca1", {"Collect all", "Tous les pilotes", "Recolección Total", "Найти все", "收集全部驱动信息", "收集全部驅動信息"}},
    {"can1", {"Collect fast", "Pilotes hors-Microsoft", "Recolección Rápida", "Быстрый поиск", "快速收集驱动信息", "快速收集驅動信息"}},
    {"ma", {"Backup only selected", "Sauvegarder la sélection", "Empaquetar Seleccionados", "Сохранить только выбранные", "备份选中驱动程序", "備份選中驅動程序"}},
    {"ms", {"Backup All", "Sauvegarder tout", "Empaquetar Todos", "Сохранить все", "备份全部驱动程序", "備份全部驅動程序"}},
    {"instnew1", {"Install a new driver", "Installer un nouveau pilote", "Instalar un nuevo driver", "Установить новый драйвер", "安装驱动程序", "安裝驅動程序"}},
    {"restore1", {"Restore an old driver", "Restituer un ancien pilote", "Restaurar un viejo driver", "Восстановить старый драйвер", "恢复驱动程序", "恢復驅動程序"}},
    {"Restore2", {"Restore all drivers", "Restituer tous les pilotes", "Restaurar todos los drivers", "Восстановить все драйверы", "恢复全部驱动", "恢復全部驅動"}},
    {"Remove1", {"Remove a driver", "Supprimer un pilote", "Remover un driver", "Удалить драйвер", "删除驱动程序", "刪除驅動程序"}},
    {"Manual1", {"Manual", "Manuel", "Manual", "Руководство", "用户帮助", "用戶幫助"}},
    {"Writetome1", {"Write to us", "Ecrivez-nous", "Contáctame", "Напишите нам", "联系作者", "聯系作者"}},
    {"Homepage1", {"Update", "Mise à jour", "Actualizar", "Обновление", "在线升级", "在線升級"}},
    {"About1", {"About ...", "A propos de ...", "Sobre ...", "О программе ...", "关于 ...", "關于 ..."}},
    {"Homepage2", {"Homepage", "Page d'accueil", "Pagina Web", "Домашняя страничка", "访问作者主页", "訪問作者主頁"}},
    {"Label1", {"Please choose the folder to backup to: ", "Choisissez un dossier: ", "Por favor seleccione una carpeta para guardar el backup: ", "Пожалуйста выберите папку для сохранения: ", "请选择备份到哪个目录：           ", "請選擇備份到哪個目錄：           "}},
    {"Button1", {"Start", "Commencer", "Comenzar", "Начать", "开始", "開始"}},
    {"Button2", {"Cancel", "Annuler", "Cancelar", "Отмена", "取消", "取消"}},
    {"Stop1", {"Stop", "Arrêter", "Parar", "Остановить", "停止", "停止"}},
    {"Update1", {"&Update", "&Réactualiser", "&Actualizar", "&Обновление", "更新驱动(&U)", "更新驅動(&U)"}},
    {"Proxysettings1", {"Proxy Settings", "Configuration Proxy", "Configurar Proxy", "Настройка прокси", "代理设置", "代理設置"}},
    {"UpdateNow1", {"Update drivers", "Réactualiser les pilotes", "Actualizar drivers", "Обновить драйверы", "在线搜索并更新驱动", "在線搜索并更新驅動"}},
    {"BitBtn6", {"Download", "Télécharger", "Descargar", "Загрузить", "开始下载", "開始下載"}},
    {"BitBtn7", {"Cancel", "Annuler", "Cancelar", "Отмена", "取消操作", "取消操作"}},
    {"BitBtn9", {"Start", "Commencer", "Comenzar", "Начать", "开始恢复", "開始恢復"}},
    {"BitBtn10", {"Stop", "Arrêter", "Parar", "Остановить", "停止备份", "停止備份"}},
    {"BitBtn11", {"Cancel", "Annuler", "Cancelar", "Отмена", "取消操作", "取消操作"}},
    {"PopBackup1", {"Backup to specified folder", "Sauvegarder dans un dossier", "Especificar carpeta para backup", "Сохранить в папку", "备份到文件夹", "備份到文件夾"}},
    {"PopBackup2", {"Backup to a CAB package", "Sauvegarder dans CAB fichier", "Copiar y empaquetar en  CAB", "Сохранить в CAB архив", "备份到CAB压缩包", "備份到CAB壓縮包"}},
    {"PopBackup3", {"Backup to an installable EXE", "Sauvegarder le pilote dans un installateur .EXE", "Copiar todo a un  EXE instalador", "Сохранить в инсталлируемый EXE", "备份到可自动安装的EXE文件", "備份到可自動安裝的EXE文件"}},
    {"MenuSFX1", {"Backup selected to EXE installer", "Sauvegarder le pilote sélectionné dans un installateur .EXE", "Copiar seleccionados a un  EXE instalador", "Сохранить выбранные в EXE инсталлятор", "备份选中驱动到可自动安装的EXE文件", "備份選中驅動到可自動安裝的EXE文件"}},
    {"MenuSFX2", {"Backup all drivers to CAB packages", "Sauvegarder tout dans CAB fichiers", "Copiar todos los Drivers en  CAB", "Сохранить все драйверы в CAB архив", "备份全部驱动到各自独立的CAB压缩包文件", "備份全部驅動到各自獨立的CAB安裝文件"}},
    {"MenuSFX3", {"Backup all drivers to one EXE installer", "Sauvegarder tous les pilotes dans un seul Installateur .EXE", "Copiar todos los Drivers en  EXE instalador", "Сохранить все драйверы в один EXE инсталлятор", "备份全部驱动到一个EXE安装文件", "備份全部驅動到一個EXE安裝文件"}},
    {"Removethedriver1", {"Remove the driver", "Supprimer le pilote", "Remover driver", "Удалить драйвер", "删除驱动", "刪除驅動"}},
    {"Checkforupdate1", {"Check for driver update", "Réactualiser les pilotes", "Buscar actualización del driver", "Проверить обновление драйвера", "检查驱动更新", "檢查驅動更新"}},
    {"Plugin1", {"&Plug-in", "&Plug-in", "&Plug-ins", "&Дополнение", "插件(&P)", "插件(&P)"}},
    {"BackupIEFavorite1", {"Backup IE Favorites", "Sauvegarder IE Favoris", "Backup Favorito de IE", "Сохранить Избранное IE", "备份IE收藏夹", "備份IE收藏夾"}},
    {"BackupOutlook1", {"Backup Outlook Express", "Sauvegarder Outlook Express", "Backup de Outlook Express", "Резервировать Outlook Express", "备份Outlook Express资料", "備份Outlook Express資料"}},
    {"Restore3", {"Restore Outlook Express", "Restaurer Outlook Express", "Restaurar Outlook Express", "Восстановить Outlook Express", "恢复Outlook Express资料", "恢復Outlook Express資料"}},
    {"Restore4", {"Restore IE Favorites", "Restaurer IE Favoris", "Restaurar Favoritos de IE", "Восстановить Избранное IE", "恢复IE收藏夹", "恢復IE收藏夾"}},
    {"ListView2:0", {"Description", "Description", "Descripción", "Описание", "驱动描述", "驅動描述"}},
    {"ListView2:1", {"Current", "Actuel", "Info", "Данный", "旧版本", "舊版本"}},
    {"ListView2:2", {"Database", "Database", "Database", "База данных", "新版本", "新版本"}},
    {"ListView2:3", {"Download URL", "Téléchargement URL", "URL de descarga", "URL Загрузки", "下载地址", "下載地址"}},
    {"ListView2:4", {"Compatibility", "Compatibilité ", "Compatibilidad", "Совместимость", "兼容性", "安裝指南"}},
    {"DownloadNow1", {"Download Now", "Télécharger", "&Descargar", "Загрузить сейчас", "立即下载", "立即下載"}},
    {"CopyURL1", {"Copy URL", "Copier URL", "&Copia URL", "Копировать URL", "复制链接", "復制鏈接"}},
};

}  // namespace

std::span<const CaptionRow> CaptionTable() { return kCaptions; }

}  // namespace korvane
