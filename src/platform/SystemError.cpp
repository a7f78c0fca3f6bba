#include "SystemError.h"

#include <cerrno>

QString systemErrorText(int e) {
  switch (e) {
    case EACCES: return QStringLiteral("permission refusée");
    case EPERM: return QStringLiteral("opération non permise");
    case ENOENT: return QStringLiteral("fichier ou dossier introuvable");
    case EISDIR: return QStringLiteral("c'est un dossier");
    case ENOTDIR: return QStringLiteral("un élément du chemin n'est pas un dossier");
    case ENOSPC: return QStringLiteral("plus de place sur le disque");
    case EDQUOT: return QStringLiteral("quota de disque dépassé");
    case EROFS: return QStringLiteral("système de fichiers en lecture seule");
    case EIO: return QStringLiteral("erreur d'entrée-sortie");
    case ENAMETOOLONG: return QStringLiteral("nom de fichier trop long");
    case ELOOP: return QStringLiteral("trop de niveaux de liens symboliques");
    case EMFILE: return QStringLiteral("trop de fichiers ouverts par le programme");
    case ENFILE: return QStringLiteral("trop de fichiers ouverts sur le système");
    case EFBIG: return QStringLiteral("fichier trop volumineux");
    case ENOMEM: return QStringLiteral("mémoire insuffisante");
    case EBUSY: return QStringLiteral("périphérique ou ressource occupé");
    case ETXTBSY: return QStringLiteral("fichier occupé");
    case EEXIST: return QStringLiteral("le fichier existe déjà");
    case EXDEV: return QStringLiteral("le fichier est sur un autre système de fichiers");
    case EINVAL: return QStringLiteral("argument invalide");
    case EAGAIN: return QStringLiteral("ressource momentanément indisponible");
    case EINTR: return QStringLiteral("opération interrompue");
    case ENXIO: return QStringLiteral("périphérique ou adresse inexistant");
    case ENODEV: return QStringLiteral("périphérique inexistant");
    case EOVERFLOW: return QStringLiteral("valeur trop grande");
    case ESTALE: return QStringLiteral("référence de fichier réseau périmée");
    case ETIMEDOUT: return QStringLiteral("délai d'attente dépassé");
    case ENOTCONN: return QStringLiteral("la ressource réseau n'est plus connectée");
    case EBADF: return QStringLiteral("descripteur de fichier invalide");
    default: return QStringLiteral("erreur du système n° %1").arg(e);
  }
}
